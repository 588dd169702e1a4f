#pragma once

#include "drives/result.h"
#include "loading/configstate.h"

#include <QByteArray>
#include <QList>
#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class TMsDosForm;
}
class AuditMarking;
class BackgroundLoad;
class DriveMap;
class LineListView;
class TEndreForm;
struct StartupFile;

// The configuration window and the owner of all of the program's state: the
// values read from MSDOS.SYS (shown in the text fields and check boxes of the
// Paths and Options pages) and the lines of the five start-up files (shown on
// the file pages). Its controls carry the names the handlers use: WD, BM,
// msdosmemo, PageControl, HentKnapp and so on.
class TMsDosForm : public QWidget
{
    Q_OBJECT

public:
    explicit TMsDosForm(const DriveMap &drives, QWidget *parent = nullptr);
    ~TMsDosForm() override;

    // The edit dialog, reused for every edit: given, or made by `make` at the
    // first edit (so a start that edits nothing never builds it).
    void setEditDialog(TEndreForm *dialog) { EndreForm = dialog; }
    void setEditDialogMaker(std::function<TEndreForm *()> make) { m_makeEditDialog = std::move(make); }

    // Puts another machine in the drives this window reads (its disks as on
    // the command line: folders or images), or says in one line why not.
    using MachineOpener = std::function<Result<bool>(const QList<QByteArray> &disks)>;
    void setMachineOpener(MachineOpener opener) { m_openMachine = std::move(opener); }
    // Shows the machine whose disks these are, loaded as at start; asks first
    // when lines were edited, since the edits are lost.
    void openMachine(const QList<QByteArray> &disks);

protected:
    void showEvent(QShowEvent *event) override;
    // A folder or disk image dropped on the window opens as the machine.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // Handlers. A double-click on any full list runs lineDoubleClicked, and a
    // click on any section list goToSection, each for that list's file; the
    // per-file names remain the entry points for each file.
    void FormShow();
    void HentKnappClick();
    void BitBtn2Click();
    void msdoslistClick();
    void WinIniListDblClick();
    void systeminilistClick();
    void msdosmemoDblClick();
    void ConfigMemoDblClick();
    void AutoMemoDblClick();
    void WininimemoDblClick();
    void systeminimemoDblClick();
    void lineDoubleClicked(const StartupFile &file);
    // Without a drive C: at start, a box offers to choose a folder or image.
    void askForAMachine();
    // Ctrl+O: another machine from the chooser.
    void chooseMachine();

    void wire();
    // What the first frame does not wait for: the start-up page and the
    // lists of the pages behind the first. Once; at the first page turn if
    // that comes before.
    void finishStart();
    void readStartupPage();
    void makeListViews();
    std::function<void()> guardedFor(const StartupFile &file, void (TMsDosForm::*handler)(const StartupFile &));
    LineListView *listView(const char *name) const;
    // Runs a load on the state: the fields go in before it and come back out
    // after it, also when a file fails.
    template <typename Load>
    void load(Load &&loadState);
    // The lines as loaded are audited anew, once there are views for the marks.
    void markLoadedLines();
    void goToSection(const StartupFile &file);
    void readFieldsIntoState();
    void showStateInFields();
    void editLine(LineList &list);
    void placeOnScreen();
    void focusFirstTabStop();

    const std::unique_ptr<Ui::TMsDosForm> ui;
    ConfigState m_state;
    const DriveMap &m_drives;
    TEndreForm *EndreForm = nullptr;
    std::function<TEndreForm *()> m_makeEditDialog;
    AuditMarking *m_marking = nullptr; // a child of the window
    MachineOpener m_openMachine;
    bool m_edited = false; // a line was changed since the last load
    bool m_shown = false;
    bool m_listViewsMade = false;
    bool m_markWhenListsMade = false; // a load came before the views
    // The load at start, begun as the window is made and taken when it is
    // first shown; dropped by any other load before that.
    std::unique_ptr<BackgroundLoad> m_firstLoad;
    bool m_startupPageDue = false; // the load at start's second part, after the first frame
};
