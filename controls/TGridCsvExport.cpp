#include "TGridCsvExport.h"

#include "CsvExport.h"
#include "MessageDlg.h"
#include "RecordReader.h"
#include "TDataSet.h"
#include "TwwCustomDBGrid.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QProgressDialog>
#include <QStandardPaths>
#include <algorithm>
#include <memory>

namespace {

// The folder of the last export, for the next one in the same run (the
// program keeps no settings).
QString &lastFolder()
{
    static QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return folder;
}

} // namespace

TGridCsvExport *TGridCsvExport::install(TwwCustomDBGrid *grid, const QString &name)
{
    return new TGridCsvExport(grid, name);
}

TGridCsvExport::TGridCsvExport(TwwCustomDBGrid *grid, const QString &name)
    : QObject(grid), m_grid(grid), m_name(name), m_action(new QAction(QStringLiteral("Export to CSV..."), grid)),
      m_menu(new QMenu(grid))
{
    m_action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    // The cell editor is a child of the grid: the key works there as well.
    m_action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    grid->addAction(m_action);
    connect(m_action, &QAction::triggered, this, &TGridCsvExport::Execute);

    m_menu->addAction(m_action);
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid, &QWidget::customContextMenuRequested, this, &TGridCsvExport::showMenu);
}

// A scroll area reports the position in its viewport's coordinates.
void TGridCsvExport::showMenu(const QPoint &pos)
{
    m_menu->popup(m_grid->viewport()->mapToGlobal(pos));
}

void TGridCsvExport::Execute()
{
    if (!m_grid->DataSet())
        return;
    QFileDialog dialog(m_grid->window(), QStringLiteral("Export to CSV"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("CSV files (*.csv)"), QStringLiteral("All files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setDirectory(lastFolder());
    dialog.selectFile(m_name + QStringLiteral(".csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString fileName = dialog.selectedFiles().constFirst();
    lastFolder() = QFileInfo(fileName).absolutePath();
    exportTo(fileName);
}

bool TGridCsvExport::exportTo(const QString &fileName)
{
    TDataSet *dataSet = m_grid->DataSet();
    if (!dataSet)
        return false;
    QList<TField *> fields;
    QStringList titles;
    for (int c = 0; c < m_grid->ColumnCount(); ++c) {
        if (TField *f = m_grid->ColumnField(c)) {
            fields << f;
            titles << m_grid->ColumnTitle(c);
        }
    }
    bool written = false;
    QWidget *window = m_grid->window();
    MessageDlg::Guard(window, [&] {
        const int count = dataSet->Active() ? dataSet->RecordCount() : 0;
        // A short export is over before a progress bar could be read.
        std::unique_ptr<QProgressDialog> progress;
        if (count > CsvExport::ProgressStep) {
            progress = std::make_unique<QProgressDialog>(
                QStringLiteral("Writing %1").arg(QFileInfo(fileName).fileName()), QStringLiteral("Cancel"), 0, count,
                window);
            progress->setWindowTitle(QStringLiteral("Export to CSV"));
            progress->setWindowModality(Qt::ApplicationModal);
            progress->setMinimumDuration(0);
            progress->setAutoReset(false);
            progress->setAutoClose(false);
            progress->setValue(0);
        }
        TRecordReader reader(dataSet, fields);
        written = CsvExport::write(reader, titles, fileName, [&](qint64 n) {
            if (!progress)
                return true;
            // Another program may have added records since they were counted.
            progress->setValue(int(std::min<qint64>(n, count)));
            return !progress->wasCanceled();
        });
    });
    return written;
}
