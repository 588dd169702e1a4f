#pragma once

#include <QByteArray>
#include <QDialog>

#include <memory>
#include <optional>

namespace Ui {
class MachineChooser;
}
class QFileSystemModel;

// Chooses the folder or disk image that holds a PC's drive C:. Built from
// Qt's file-system model and a view, since Qt's own file dialog records its
// history in a settings file when it closes, and this program writes
// nothing.
class MachineChooser : public QDialog
{
    Q_OBJECT

public:
    enum class Kind { Folder, Image, FolderOrImage };
    explicit MachineChooser(Kind kind, QWidget *parent = nullptr);
    ~MachineChooser() override;

    // The path chosen, as the host spells it.
    QByteArray chosen() const;

    // Shows the chooser; nothing when it was cancelled.
    static std::optional<QByteArray> choose(Kind kind, QWidget *parent);

private:
    void selectionChanged();

    const std::unique_ptr<Ui::MachineChooser> ui;
    QFileSystemModel *m_model;
    Kind m_kind;
};
