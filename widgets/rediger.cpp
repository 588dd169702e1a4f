#include "widgets/rediger.h"
#include "ui_rediger.h"

#include "drives/ansitext.h"
#include "editing/filecheck.h"
#include "editing/fixrule.h"
#include "widgets/accessibleroles.h"
#include "widgets/buttonglyph.h"
#include "widgets/designfont.h"
#include "widgets/failurereport.h"
#include "widgets/keyboardfocus.h"
#include "widgets/readablecolour.h"

#include <QScreen>
#include <QScrollArea>
#include <QStyle>

namespace {
const QSize kDesigned(430, 165);
} // namespace

TEndreForm::TEndreForm(const DriveMap &drives, Launcher launcher, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TEndreForm>()), m_drives(drives),
      m_launcher(std::move(launcher))
{
    // The font first, so each control is made in it and laid out once.
    setFont(designFont());
    ui->setupUi(this);
    // The two messages have their own sizes; the family follows the form.
    QFont fins = designFont(10);
    fins.setBold(true);
    ui->fins->setFont(fins);
    ui->ok->setFont(designFont(8));
    ui->fins->hide();
    ui->ok->hide();
    growLabelsToFit(this);
    // The controls sit in a frameless scroll area: at the designed 430 x 165
    // nothing of it shows; on a screen smaller than that (800 x 600 at a
    // scale of 2) the dialog takes the screen and follows the focus.
    ui->dialogContent->setMinimumSize(kDesigned);
    setFixedSize(kDesigned);
    followFocus(*ui->dialogScroll);
    installAccessibleRoles(); // the check's result is spoken as it appears
    ui->FixKnapp->setAccessibleDescription(
        tr("Setter inn den norske linjen: landkode 047 og tegntabell 850 i en COUNTRY-linje, "
                       "eller den norske skjermdriveren i en DISPLAY.SYS-linje."));
    ui->BitBtn1->setIcon(buttonGlyph(*ui->BitBtn1, QStyle::SP_DialogOkButton));
    ui->BitBtn2->setIcon(buttonGlyph(*ui->BitBtn2, QStyle::SP_DialogCancelButton));

    using failurereport::guarded;
    connect(ui->ny, &QLineEdit::textChanged, this, [this] { guarded([this] { nyChange(); }); });
    connect(ui->sjekkknapp, &QPushButton::clicked, this,
            [this] { guarded([this] { sjekkknappClick(); }); });
    connect(ui->RunKnapp, &QPushButton::clicked, this,
            [this] { guarded([this] { RunKnappClick(); }); });
    connect(ui->FixKnapp, &QPushButton::clicked, this,
            [this] { guarded([this] { FixKnappClick(); }); });
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TEndreForm::accept);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

TEndreForm::~TEndreForm() = default;

void TEndreForm::setOriginalText(const QByteArray &line)
{
    m_original = line;
    ui->original->setText(ansi::decode(line));
    // setText leaves the cursor at the end, and the field scrolls to show it.
    ui->original->setCursorPosition(0);
}

void TEndreForm::setNyText(const QByteArray &line)
{
    ui->ny->setText(ansi::decode(line));
}

QByteArray TEndreForm::nyText() const
{
    return ansi::encode(ui->ny->text());
}

void TEndreForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The design's maroon and navy, where they read against the dialog's
    // background (a dark palette needs them lighter).
    const QColor background = palette().color(QPalette::Window);
    ui->fins->setStyleSheet(QStringLiteral("color: %1;").arg(readableOn(QColor(0x80, 0, 0), background).name()));
    ui->ok->setStyleSheet(QStringLiteral("color: %1;").arg(readableOn(QColor(0, 0, 0x80), background).name()));
    if (const QScreen *screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        setFixedSize(kDesigned.boundedTo(available.size() - (frameGeometry().size() - size())));
        move(available.center() - frameGeometry().center() + pos());
        if (QWidget *focused = focusWidget())
            ui->dialogScroll->ensureWidgetVisible(focused);
    }
}

void TEndreForm::setVisible(bool visible)
{
    QDialog::setVisible(visible);
    if (!visible) {
        // A hidden window stays in what a screen reader lists of the program,
        // so the dialog lets its window go once the event that closed it is
        // done; the next showing makes a new one.
        QMetaObject::invokeMethod(
            this, [this] {
                if (isHidden())
                    destroy();
            },
            Qt::QueuedConnection);
        return;
    }
    // Showing sends the control that had the focus when the dialog closed a
    // focus-in; a push button takes the default role from it, and as FormShow
    // moves the focus on before the dialog is active, that button never gets
    // the focus-out that would hand the role back. "O&k" is the default at
    // every showing.
    ui->BitBtn1->setDefault(true);
    // After QDialog has given the focus widget its focus-in (which would
    // select all of a text that has nothing selected), so the selection
    // FormShow makes is the one the user sees.
    failurereport::guarded([this] { FormShow(); });
}

void TEndreForm::FormShow()
{
    ui->ny->setFocus();
    ui->ny->selectAll();
    // Select what follows the first "=", or everything when there is none.
    const QString text = ui->ny->text();
    const int p = static_cast<int>(text.indexOf(QLatin1Char('='))) + 1;
    const int length = static_cast<int>(text.size()) - p;
    if (length > 0) {
        ui->ny->setSelection(p, length);
    } else { // nothing after the "=": just the cursor at the end
        ui->ny->deselect();
        ui->ny->setCursorPosition(p);
    }
    ui->fins->hide();
    ui->ok->hide();
    ui->RunKnapp->setEnabled(false);
}

void TEndreForm::nyChange()
{
    ui->sjekkknapp->setEnabled(ui->ny->text().contains(QLatin1Char('.')));
    ui->RunKnapp->setEnabled(false);
}

void TEndreForm::accept()
{
    // The file holds Windows-1252 only: a character outside it would be
    // stored as "?". The dialog stays open and says so instead.
    const QString text = ui->ny->text();
    const qsizetype bad = ansi::firstUnencodable(text);
    if (bad >= 0) {
        const QString character = text.mid(bad, text[bad].isHighSurrogate() ? 2 : 1);
        showMessage(ui->fins, tr("«%1» kan ikke lagres: filen har bare tegn fra Windows-1252").arg(character));
        ui->ok->hide();
        ui->ny->setFocus();
        ui->ny->setSelection(int(bad), int(character.size()));
        return;
    }
    QDialog::accept();
}

void TEndreForm::showMessage(QLabel *label, const QString &message)
{
    // The label has the dialog's fixed width: a long path is cut in the
    // middle so the start of the path and the verdict at its end both show;
    // the whole message is the tooltip, and what a screen reader reads.
    label->setText(label->fontMetrics().elidedText(message, Qt::ElideMiddle, label->width()));
    label->setToolTip(message);
    label->setAccessibleName(message);
    label->setAccessibleDescription(message);
    // Shown afresh, so a screen reader speaks the alert even when the label
    // was showing already (a second check).
    label->hide();
    label->show();
}

void TEndreForm::sjekkknappClick()
{
    const CheckResult result = checkLine(nyText(), m_drives);
    // The design's words, "P finnes." and "P finnes ikke !", in the
    // user's language (the check's own message stays Norwegian for --check).
    const QString path = ansi::decode(result.path);
    const QString message = result.found ? tr("%1 finnes.").arg(path) : tr("%1 finnes ikke !").arg(path);
    if (!result.found) {
        FormShow();
        showMessage(ui->fins, message);
        ui->ok->hide();
        ui->RunKnapp->setEnabled(false);
        return;
    }
    // The focus stays on "Sjekk ...", so Enter checks again.
    showMessage(ui->ok, message);
    ui->fins->hide();
    if (result.runnable)
        ui->RunKnapp->setEnabled(true);
    m_runPath = result.runPath;
}

void TEndreForm::RunKnappClick()
{
    if (m_launcher)
        m_launcher(m_runPath);
}

void TEndreForm::FixKnappClick()
{
    if (const std::optional<QByteArray> fixed = fixedLine(m_original))
        setNyText(*fixed);
}
