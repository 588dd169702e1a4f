#pragma once

#include <QByteArray>
#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class TEndreForm;
}
class DriveMap;

// The edit dialog: shows a line's original text beside an editable copy,
// checks whether the file the value names exists, starts a found program and
// offers two fixed Norwegian replacements. One instance serves every edit;
// callers set the original text, then the new text, show it modally and take
// the new text back when it closes with OK.
class TEndreForm : public QDialog
{
    Q_OBJECT

public:
    // Receives RunPath when "Kjør .." is pressed.
    using Launcher = std::function<void(const QByteArray &runPath)>;

    TEndreForm(const DriveMap &drives, Launcher launcher, QWidget *parent = nullptr);
    ~TEndreForm() override;

    void setOriginalText(const QByteArray &line);
    void setNyText(const QByteArray &line);
    QByteArray nyText() const;
    const QByteArray &RunPath() const { return m_runPath; }

    void setVisible(bool visible) override;
    // "O&k": stores the line, unless it holds a character the file cannot.
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Handlers.
    void FormShow();
    void nyChange();
    void sjekkknappClick();
    void RunKnappClick();
    void FixKnappClick();
    void showMessage(class QLabel *label, const QString &message);

    const std::unique_ptr<Ui::TEndreForm> ui;
    const DriveMap &m_drives;
    const Launcher m_launcher;
    QByteArray m_original;
    QByteArray m_runPath;
};
