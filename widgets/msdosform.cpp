#include "widgets/msdosform.h"
#include "ui_msdosform.h"
#include "ui_listviews.h"

#include "drives/ansitext.h"
#include "drives/dospath.h"
#include "drives/drivemap.h"
#include "editing/lineeditrouting.h"
#include "loading/backgroundload.h"
#include "loading/failure.h"
#include "loading/loadsequence.h"
#include "loading/sectionnavigation.h"
#include "loading/startupfiles.h"
#include "widgets/accessibleroles.h"
#include "widgets/altchordguard.h"
#include "widgets/auditmarking.h"
#include "widgets/buttonglyph.h"
#include "widgets/designfont.h"
#include "widgets/editcycle.h"
#include "widgets/failurereport.h"
#include "widgets/keyboardfocus.h"
#include "widgets/machinechooser.h"
#include "widgets/pageturning.h"
#include "widgets/rediger.h"
#include "widgets/tabfocusstyle.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QStyle>
#include <QTabBar>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace {

// The failure of a load on a machine without a drive C:.
class NoDriveC : public Failure
{
public:
    using Failure::Failure;
};

// Calls `then` on the event loop's turn after `widget` is first painted: once
// that frame is out.
class AfterFirstPaint : public QObject
{
public:
    AfterFirstPaint(QWidget *widget, std::function<void()> then) : QObject(widget), m_then(std::move(then))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QMetaObject::invokeMethod(watched, std::move(m_then), Qt::QueuedConnection);
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> m_then;
};

QString noDriveC()
{
    return QCoreApplication::translate(
        "TMsDosForm",
        "Ingen stasjon C er oppgitt: start Vendral med --drive C=MAPPE, der MAPPE er en mappe eller et "
    "diskbilde med PC-ens stasjon C, eller lag et Wine-prefiks (~/.wine eller WINEPREFIX).");
}

} // namespace

TMsDosForm::TMsDosForm(const DriveMap &drives, QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::TMsDosForm>()), m_drives(drives)
{
    // The machine is read while the window is built, on another core.
    m_firstLoad = std::make_unique<BackgroundLoad>(m_drives);
    // The font first, so each control is made in it and laid out once.
    setFont(designFont());
    ui->setupUi(this);
    if (auto *application = qobject_cast<QApplication *>(QCoreApplication::instance()))
        installAltChordGuard(*application);
    installAccessibleRoles();
    ui->PageControl->setAccessibleName(tr("Sider"));
    ui->PageControl->setAccessibleDescription(
        tr("Oppstartsinnstillingene og linjene i hver oppstartsfil, én side hver. Ctrl+Tab går til neste side."));
    for (int i = 0; i < ui->PageControl->count(); ++i)
        ui->PageControl->widget(i)->setAccessibleName(ui->PageControl->tabText(i).remove(QLatin1Char('&')));
    // The designed window is 556 x 356 outside at 200, 108; with the frame of
    // the PC it was made for (4 pixels at the sides and bottom, 23 at the top)
    // that is a client area of 548 x 329, which is what the layout holds.
    // The pages and the panel sit in a scroll area that fills the window: at
    // that size or larger nothing scrolls and nothing of it shows; on a
    // screen smaller than the design (800 x 600 at a scale of 2 is 400 x
    // 300) the window takes the screen and its content scrolls, so every
    // control, "Avbryt" among them, can still be reached.
    ui->formContent->setMinimumSize(548, 329);
    followFocus(*ui->formScroll);
    for (QWidget *w : {static_cast<QWidget *>(ui->formContent), ui->formScroll->viewport()}) {
        w->setAutoFillBackground(true);
        w->setBackgroundRole(QPalette::Button);
    }
    resize(548, 329);
    placeOnScreen();
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    growLabelsToFit(this);
    ui->BitBtn1->setIcon(buttonGlyph(*ui->BitBtn1, QStyle::SP_DialogOkButton));
    ui->BitBtn2->setIcon(buttonGlyph(*ui->BitBtn2, QStyle::SP_DialogCancelButton));

    wire();
    setAcceptDrops(true);
    m_marking = new AuditMarking(m_state, m_drives, this);
}

TMsDosForm::~TMsDosForm()
{
    // The marking reaches into the lists of m_state, which go before the
    // window's children do.
    delete m_marking;
}

void TMsDosForm::wire()
{
    using failurereport::guarded;
    const auto on = [this](auto *sender, auto signal, void (TMsDosForm::*handler)()) {
        connect(sender, signal, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    on(ui->HentKnapp, &QPushButton::clicked, &TMsDosForm::HentKnappClick);
    on(ui->BitBtn2, &QPushButton::clicked, &TMsDosForm::BitBtn2Click);

    // An edit of a full list counts as a change; a section header the user
    // selects goes to its section.
    for (const StartupFile *file : startupfiles::all) {
        connect(&(m_state.*file->lines), &LineList::dataChanged, this,
                [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                    if (roles.contains(Qt::DisplayRole))
                        m_edited = true;
                });
        if (file->sections)
            connect(&(m_state.*file->sections), &LineList::selectionChangedByUser, this,
                    guardedFor(*file, &TMsDosForm::goToSection));
    }

    // The start-up page is read, and the lists of the other pages are made,
    // just after the window's first frame, which comes that much sooner: the
    // page's hives and shortcuts are read by copies of the program, which
    // would slow the window's build on the other core. A page turned to
    // before then has them at once.
    connect(ui->PageControl, &QTabWidget::currentChanged, this, &TMsDosForm::finishStart);
    new AfterFirstPaint(ui->PageControl, [this] { finishStart(); });

    installPageTurning(*ui->PageControl);
    auto *tabFocus = new TabFocusStyle;
    tabFocus->setParent(ui->PageControl->tabBar());
    ui->PageControl->tabBar()->setStyle(tabFocus);

    // Ctrl+O chooses another machine: a folder or a disk image.
    auto *open = new QShortcut(QKeySequence::Open, this);
    connect(open, &QShortcut::activated, this, [this] { guarded([this] { chooseMachine(); }); });

    // Escape anywhere in the window presses "&Avbryt".
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, ui->BitBtn2, &QPushButton::click);
}

std::function<void()> TMsDosForm::guardedFor(const StartupFile &file, void (TMsDosForm::*handler)(const StartupFile &))
{
    return [this, &file, handler] { failurereport::guarded([this, &file, handler] { (this->*handler)(file); }); };
}

void TMsDosForm::finishStart()
{
    if (std::exchange(m_startupPageDue, false))
        failurereport::guarded([this] { readStartupPage(); });
    makeListViews();
}

void TMsDosForm::readStartupPage()
{
    const auto mark = qScopeGuard([this] { markLoadedLines(); });
    LoadSequence(m_state, m_drives).loadStartupPage();
}

void TMsDosForm::makeListViews()
{
    if (m_listViewsMade)
        return;
    m_listViewsMade = true;
    Ui::ListViews views;
    QWidget made(this); // so the views are made in the window's font
    views.setupUi(&made);
    // Each page's lists from left to right. A page on screen shows them at
    // once, not a frame later.
    const std::pair<QBoxLayout *, QList<LineListView *>> pages[] = {
        {ui->TabSheet3Layout, {views.msdoslist, views.msdosmemo}},
        {ui->TabSheet4Layout, {views.ConfigMemo}},
        {ui->TabSheet5Layout, {views.AutoMemo}},
        {ui->TabSheet6Layout, {views.WinIniList, views.Wininimemo}},
        {ui->TabSheet7Layout, {views.systeminilist, views.systeminimemo}},
        {ui->TabSheet8Layout, {views.startuplist, views.startupmemo}},
    };
    for (const auto &[layout, lists] : pages) {
        for (LineListView *list : lists) {
            layout->addWidget(list);
            if (layout->parentWidget()->isVisible())
                list->show();
        }
    }
    // The tab order runs from the options through the lists to the panel.
    QWidget *previous = ui->NW;
    for (QWidget *next : {views.msdosmemo, views.msdoslist, views.ConfigMemo, views.AutoMemo, views.WinIniList,
                          views.Wininimemo, views.systeminimemo, views.systeminilist, views.startuplist,
                          views.startupmemo}) {
        setTabOrder(previous, next);
        previous = next;
    }

    // Each start-up file's lists are shown in the views of the same names; a
    // double-click on the full list does what the file's row says.
    for (const StartupFile *file : startupfiles::all) {
        const StartupFile &row = *file;
        const bool startupPage = row.reader == StartupFile::Reader::StartupSources;
        const QString key = startupPage ? tr("oppstart") : QString::fromLatin1(row.key);
        const QString where = row.fixedPath ? QString::fromLatin1(row.fixedPath)
                              : startupPage
                                  ? tr("registeret, Oppstart-mappene, WINSTART.BAT og DOSSTART.BAT")
                                  : QString::fromLatin1(row.windowsName) + tr(" i Windows-mappen");
        LineListView *lines = listView(row.linesName);
        lines->setLineList(&(m_state.*row.lines));
        connect(lines, &LineListView::doubleClicked, this, guardedFor(row, &TMsDosForm::lineDoubleClicked));
        // What a screen reader says of the list.
        lines->setAccessibleName(tr("Linjer i %1").arg(key));
        lines->setAccessibleDescription(
            tr("Linjene i %1 slik de står nå. Dobbeltklikk en linje for å endre den.").arg(where));
        if (row.sections) {
            LineListView *view = listView(row.sectionsName);
            view->setLineList(&(m_state.*row.sections));
            view->setAccessibleName(tr("Seksjoner i %1").arg(key));
            view->setAccessibleDescription(
                tr("Seksjonsoverskriftene i %1. Velg en for å gå til den i linjene.").arg(where));
        }
    }
    if (std::exchange(m_markWhenListsMade, false))
        m_marking->restart();
}

void TMsDosForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shown || event->spontaneous())
        return;
    m_shown = true;
    placeOnScreen(); // again, now that the frame is known
    focusFirstTabStop();
    // Shown where the first control is, even before the window is active
    // (the focus moves, and is followed, only once it is).
    if (QWidget *first = focusWidget())
        QMetaObject::invokeMethod(this, [this, first = QPointer<QWidget>(first)] {
            if (first)
                ui->formScroll->ensureWidgetVisible(first);
        }, Qt::QueuedConnection);
    failurereport::guarded([this] { FormShow(); });
}

void TMsDosForm::placeOnScreen()
{
    // The designed place, 200, 108 with the frame 556 x 356 outside, moved
    // just enough to be on the screen where that is too small for it (at a
    // scale of 2, say). The frame is not known before the first showing.
    QRect place(QPoint(200, 108), frameGeometry().size().expandedTo(QSize(556, 356)));
    move(place.topLeft());
    const QRect screen = this->screen()->availableGeometry();
    place.moveRight(std::min(place.right(), screen.right()));
    place.moveBottom(std::min(place.bottom(), screen.bottom()));
    place.moveLeft(std::max(place.left(), screen.left()));
    place.moveTop(std::max(place.top(), screen.top()));
    move(place.topLeft());
    // A screen smaller than the window: the window takes the screen, and
    // its content scrolls.
    const QSize room = screen.size() - (frameGeometry().size() - size());
    if (width() > room.width() || height() > room.height())
        resize(size().boundedTo(room));
}

void TMsDosForm::focusFirstTabStop()
{
    // No control is named to get the focus first: it goes to the first
    // enabled control in tab order, which is "&Avbryt". The form's tab order
    // is a cycle of the panel's buttons, the page tabs and the page's own
    // controls; it is written from the page controls on, because Qt's tab
    // order cannot be given a QTabWidget without breaking the cycle in two.
    if (QWidget *first = firstTabStop(ui->BitBtn1, this))
        first->setFocus(Qt::TabFocusReason);
}

LineListView *TMsDosForm::listView(const char *name) const
{
    auto *view = findChild<LineListView *>(QLatin1String(name));
    if (!view)
        qFatal("the window has no list named %s", name);
    return view;
}

template <typename Load>
void TMsDosForm::load(Load &&loadState)
{
    // The load works on plain values so it also runs without a window; a
    // typed WinDir names the INI files' directory.
    readFieldsIntoState();
    m_edited = false;
    const auto showResult = qScopeGuard([this] {
        showStateInFields();
        // The lines as loaded, also when a file failed.
        markLoadedLines();
    });
    try {
        loadState();
    } catch (const Failure &) {
        // Without a drive C: every file fails alike; a new user started the
        // program without one, and is told how to give it.
        if (!m_drives.listDirectory(kBootRoot))
            throw NoDriveC(noDriveC());
        throw;
    }
}

void TMsDosForm::markLoadedLines()
{
    // Until the first frame is out there are no views to show the marks in,
    // and the first frame does not wait for the marking.
    if (m_listViewsMade)
        m_marking->restart();
    else
        m_markWhenListsMade = true;
}

void TMsDosForm::askForAMachine()
{
    QMessageBox box(QMessageBox::Information, windowTitle(), noDriveC(), QMessageBox::NoButton, this);
    box.setFont(designFont());
    QPushButton *folder = box.addButton(tr("Velg &mappe ..."), QMessageBox::AcceptRole);
    QPushButton *image = box.addButton(tr("Velg &diskbilde ..."), QMessageBox::AcceptRole);
    QPushButton *quit = box.addButton(tr("Avs&lutt"), QMessageBox::RejectRole);
    box.setDefaultButton(folder);
    box.setEscapeButton(quit);
    box.exec();
    if (box.clickedButton() == quit || !box.clickedButton()) {
        close();
        return;
    }
    const std::optional<QByteArray> chosen = MachineChooser::choose(
        box.clickedButton() == image ? MachineChooser::Kind::Image : MachineChooser::Kind::Folder, this);
    // Back to the question when nothing was chosen; on to the machine when
    // something was.
    if (!chosen) {
        askForAMachine();
        return;
    }
    openMachine({*chosen});
}

void TMsDosForm::chooseMachine()
{
    if (const std::optional<QByteArray> chosen = MachineChooser::choose(MachineChooser::Kind::FolderOrImage, this))
        openMachine({*chosen});
}

void TMsDosForm::openMachine(const QList<QByteArray> &disks)
{
    if (!m_openMachine || disks.isEmpty())
        return;
    if (m_edited
        && QMessageBox::question(this, windowTitle(),
                                 tr("Endringene i linjene går tapt. Vil du åpne den andre maskinen likevel?"))
               != QMessageBox::Yes)
        return;
    // The drives change under the marking: it ends its pass first.
    m_marking->stop();
    m_firstLoad.reset();
    const Result<bool> opened = m_openMachine(disks);
    if (!opened) {
        m_marking->restart();
        failurereport::report(opened.reason());
        return;
    }
    m_startupPageDue = false; // the other machine's is read with the rest
    failurereport::guarded([this] { load([this] { loadAtStart(m_state, m_drives); }); });
}

void TMsDosForm::dragEnterEvent(QDragEnterEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && std::all_of(urls.cbegin(), urls.cend(), [](const QUrl &u) { return u.isLocalFile(); }))
        event->acceptProposedAction();
}

void TMsDosForm::dropEvent(QDropEvent *event)
{
    QList<QByteArray> disks;
    for (const QUrl &url : event->mimeData()->urls())
        disks.append(QFile::encodeName(url.toLocalFile()));
    event->acceptProposedAction();
    openMachine(disks);
}

void TMsDosForm::FormShow()
{
    // Started without a drive C: (no disk, no --drive, no Wine prefix), and
    // with a way to choose one, the user is asked for the machine.
    try {
        load([this] {
            if (const std::unique_ptr<BackgroundLoad> first = std::move(m_firstLoad)) {
                first->takeInto(m_state);
                m_startupPageDue = true; // read once the first frame is out
            } else
                loadAtStart(m_state, m_drives);
        });
    } catch (const NoDriveC &) {
        if (!m_openMachine)
            throw;
        askForAMachine();
    }
}

void TMsDosForm::HentKnappClick()
{
    m_firstLoad.reset();
    m_startupPageDue = false; // read with the rest
    load([this] { LoadSequence(m_state, m_drives).HentKnappClick(); });
}

void TMsDosForm::BitBtn2Click()
{
    close();
}

void TMsDosForm::readFieldsIntoState()
{
    m_state.WD = ansi::encode(ui->WD->text());
    m_state.WBD = ansi::encode(ui->WBD->text());
    m_state.HWBD = ansi::encode(ui->HWBD->text());
    m_state.WV = ansi::encode(ui->WV->text());
    m_state.BM = ui->BM->isChecked();
    m_state.BGUI = ui->BGUI->isChecked();
    m_state.DB = ui->DB->isChecked();
    m_state.ASC = ui->ASC->isChecked();
    m_state.BD = ui->BD->isChecked();
    m_state.NW = ui->NW->isChecked();
}

void TMsDosForm::showStateInFields()
{
    const auto setText = [](QLineEdit *field, const QByteArray &value) {
        const QString text = ansi::decode(value);
        if (field->text() != text)
            field->setText(text);
    };
    setText(ui->WD, m_state.WD);
    setText(ui->WBD, m_state.WBD);
    setText(ui->HWBD, m_state.HWBD);
    setText(ui->WV, m_state.WV);
    ui->BM->setChecked(m_state.BM);
    ui->BGUI->setChecked(m_state.BGUI);
    ui->DB->setChecked(m_state.DB);
    ui->ASC->setChecked(m_state.ASC);
    ui->BD->setChecked(m_state.BD);
    ui->NW->setChecked(m_state.NW);
}

void TMsDosForm::goToSection(const StartupFile &file)
{
    sectionnavigation::goToSection(m_state.*file.sections, m_state.*file.lines, file.scrolling);
}

void TMsDosForm::msdoslistClick() { goToSection(startupfiles::msdosSys); }
// Bound to the click of WinIniList, like its two companions.
void TMsDosForm::WinIniListDblClick() { goToSection(startupfiles::winIni); }
void TMsDosForm::systeminilistClick() { goToSection(startupfiles::systemIni); }

void TMsDosForm::lineDoubleClicked(const StartupFile &file)
{
    LineList &lines = m_state.*file.lines;
    const std::optional<OptionBox> box = file.doubleClick == StartupFile::LineDoubleClick::OptionOrEdit
                                             ? optionForLine(lines.selectedLine())
                                             : std::nullopt;
    if (!box) {
        editLine(lines);
        return;
    }
    QCheckBox *target = nullptr;
    switch (*box) {
    case OptionBox::BD: target = ui->BD; break;
    case OptionBox::NW: target = ui->NW; break;
    case OptionBox::BM: target = ui->BM; break;
    case OptionBox::BGUI: target = ui->BGUI; break;
    case OptionBox::DB: target = ui->DB; break;
    }
    ui->PageControl->setCurrentWidget(ui->TabO);
    // The style draws the focus only after a change made by the keyboard, and
    // the double-click that brought the user here was the mouse's: mark this
    // one as the keyboard's, so the user sees where the focus went.
    setAttribute(Qt::WA_KeyboardFocusChange);
    target->setFocus(Qt::OtherFocusReason);
}

void TMsDosForm::msdosmemoDblClick() { lineDoubleClicked(startupfiles::msdosSys); }
void TMsDosForm::ConfigMemoDblClick() { lineDoubleClicked(startupfiles::configSys); }
void TMsDosForm::AutoMemoDblClick() { lineDoubleClicked(startupfiles::autoexecBat); }
void TMsDosForm::WininimemoDblClick() { lineDoubleClicked(startupfiles::winIni); }
void TMsDosForm::systeminimemoDblClick() { lineDoubleClicked(startupfiles::systemIni); }

void TMsDosForm::editLine(LineList &list)
{
    if (!EndreForm && m_makeEditDialog)
        EndreForm = m_makeEditDialog();
    if (EndreForm)
        runEditCycle(list, *EndreForm);
}
