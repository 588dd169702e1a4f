#include "widgets/machinechooser.h"
#include "ui_machinechooser.h"

#include "widgets/designfont.h"

#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QPushButton>
#include <QTimer>

MachineChooser::MachineChooser(Kind kind, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::MachineChooser>()), m_model(new QFileSystemModel(this)), m_kind(kind)
{
    // The font first, so each control is made in it and laid out once.
    setFont(designFont());
    ui->setupUi(this);
    if (kind == Kind::Folder) {
        ui->forklaring->setText(tr("&Mappe med PC-ens stasjon C:"));
        setWindowTitle(tr("Velg mappe"));
    } else if (kind == Kind::Image) {
        ui->forklaring->setText(tr("&Diskbilde med PC-ens stasjon C:"));
        setWindowTitle(tr("Velg diskbilde"));
    }
    ui->knapper->button(QDialogButtonBox::Open)->setText(tr("&Åpne"));
    ui->knapper->button(QDialogButtonBox::Cancel)->setText(tr("&Avbryt"));
    m_model->setReadOnly(true);
    m_model->setFilter(kind == Kind::Folder ? QDir::AllDirs | QDir::NoDotAndDotDot
                                            : QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    m_model->setRootPath(QDir::rootPath());
    ui->mapper->setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column)
        ui->mapper->hideColumn(column);
    ui->mapper->header()->hide();
    // Opened at the user's home, the folders above it unfolded as the model
    // reads them (it reads a folder's entries in the background).
    const QString target = QDir::homePath();
    ui->mapper->setCurrentIndex(m_model->index(target));
    connect(m_model, &QFileSystemModel::directoryLoaded, this, [this, target](const QString &loaded) {
        if (target == loaded || target.startsWith(loaded.endsWith(QLatin1Char('/')) ? loaded : loaded + QLatin1Char('/')))
            ui->mapper->expand(m_model->index(loaded));
        QTimer::singleShot(0, this, [this] {
            ui->mapper->scrollTo(ui->mapper->currentIndex(), QAbstractItemView::PositionAtCenter);
        });
    });
    connect(ui->mapper->selectionModel(), &QItemSelectionModel::currentChanged, this, &MachineChooser::selectionChanged);
    // A double-click opens a folder in the tree and chooses an image.
    connect(ui->mapper, &QTreeView::activated, this, [this](const QModelIndex &index) {
        if (!m_model->isDir(index) && m_kind != Kind::Folder)
            accept();
    });
    connect(ui->knapper, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->knapper, &QDialogButtonBox::rejected, this, &QDialog::reject);
    selectionChanged();
}

MachineChooser::~MachineChooser() = default;

void MachineChooser::selectionChanged()
{
    const QModelIndex current = ui->mapper->currentIndex();
    const bool isDir = current.isValid() && m_model->isDir(current);
    const bool fits = current.isValid()
                      && (m_kind == Kind::FolderOrImage || (m_kind == Kind::Folder) == isDir);
    ui->sti->setText(current.isValid() ? m_model->filePath(current) : QString());
    ui->knapper->button(QDialogButtonBox::Open)->setEnabled(fits);
}

QByteArray MachineChooser::chosen() const
{
    return QFile::encodeName(m_model->filePath(ui->mapper->currentIndex()));
}

std::optional<QByteArray> MachineChooser::choose(Kind kind, QWidget *parent)
{
    MachineChooser chooser(kind, parent);
    if (chooser.exec() != QDialog::Accepted || chooser.chosen().isEmpty())
        return std::nullopt;
    return chooser.chosen();
}
