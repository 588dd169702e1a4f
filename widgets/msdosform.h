#pragma once

#include "loading/configstate.h"

#include <QWidget>

#include <memory>

namespace Ui {
class TMsDosForm;
}
class AuditMarking;
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

    // The edit dialog, created once after this window and reused for every edit.
    void setEditDialog(TEndreForm *dialog) { EndreForm = dialog; }

protected:
    void showEvent(QShowEvent *event) override;

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

    void wire();
    LineListView *listView(const char *name) const;
    // Runs a load on the state: the fields go in before it and come back out
    // after it, also when a file fails.
    template <typename Load>
    void load(Load &&loadState);
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
    AuditMarking *m_marking = nullptr; // a child of the window
    bool m_shown = false;
};
