#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class TwwCustomDBGrid;

// "Export to CSV..." on a record grid: in the grid's context menu and under
// Ctrl+Shift+E, also while the grid's cell editor has the focus. It asks
// for a file in the standard save dialog and writes every record the grid's
// dataset shows (a record tab's period, a whole list, a statement), in the
// grid's columns under their titles, in the CSV export format. An export of
// more than a few thousand records shows its progress with a Cancel button;
// a cancelled or failed export leaves no file, and an error is shown in the
// standard error box. Nothing of the dataset moves.
//
// The windows that own grids install one on each; it belongs to the grid.
class TGridCsvExport : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(TGridCsvExport)

public:
    // `name` is what the save dialog proposes for the file, before ".csv".
    static TGridCsvExport *install(TwwCustomDBGrid *grid, const QString &name);

    QAction *action() const { return m_action; }

    // The command: asks for a file, then writes it.
    void Execute();
    // Writes the file; returns false when cancelled or failed (the error
    // has been shown).
    bool exportTo(const QString &fileName);

private:
    TGridCsvExport(TwwCustomDBGrid *grid, const QString &name);
    void showMenu(const QPoint &pos);

    TwwCustomDBGrid *m_grid;
    QString m_name;
    QAction *m_action;
    QMenu *m_menu;
};
