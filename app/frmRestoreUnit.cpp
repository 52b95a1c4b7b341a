#include "frmRestoreUnit.h"
#include "ui_frmRestoreUnit.h"

#include "EngineCatalog.h"
#include "FieldText.h"
#include "FormSupport.h"
#include "FormatSettings.h"

#include <QHeaderView>
#include <QLocale>

TfrmRestore::TfrmRestore(const QList<BooksBackup::TBackupInfo> &backups, QWidget *parent)
    : QDialog(parent), ui(new Ui::TfrmRestore), m_backups(backups)
{
    ui->setupUi(this);
    setFont(FormSupport::font(FormSupport::Verdana, 11));

    QStringList titles{QStringLiteral("Date"), QStringLiteral("Size")};
    for (const TTableDef &t : EngineCatalog::tables())
        titles << t.fileName;
    ui->lvBackups->setHeaderLabels(titles);
    const int tables = int(EngineCatalog::tables().size());
    for (const BooksBackup::TBackupInfo &b : std::as_const(m_backups)) {
        auto *item = new QTreeWidgetItem(ui->lvBackups);
        item->setText(0, takenText(b.taken));
        item->setText(1, QLocale::system().formattedDataSize(b.size));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        if (!b.problem.isEmpty()) {
            item->setText(2, QStringLiteral("cannot be read"));
            item->setToolTip(2, b.problem);
            continue;
        }
        for (int i = 0; i < tables && i < b.counts.size(); ++i) {
            item->setText(2 + i, QString::number(b.counts.at(i).rows));
            item->setTextAlignment(2 + i, Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    for (int c = 0; c < titles.size(); ++c)
        ui->lvBackups->resizeColumnToContents(c);
    if (ui->lvBackups->topLevelItemCount() > 0)
        ui->lvBackups->setCurrentItem(ui->lvBackups->topLevelItem(0));
    ui->btnRestore->setEnabled(!m_backups.isEmpty());

    connect(ui->btnRestore, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->lvBackups, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    ui->lvBackups->setFocus();
}

TfrmRestore::~TfrmRestore()
{
    delete ui;
}

void TfrmRestore::showEvent(QShowEvent *e)
{
    FormSupport::centreOverParent(this);
    QDialog::showEvent(e);
}

std::optional<BooksBackup::TBackupInfo> TfrmRestore::chosen() const
{
    const int row = ui->lvBackups->indexOfTopLevelItem(ui->lvBackups->currentItem());
    if (row < 0 || row >= m_backups.size())
        return std::nullopt;
    return m_backups.at(row);
}

std::optional<BooksBackup::TBackupInfo> TfrmRestore::Execute(QWidget *parent,
                                                             const QList<BooksBackup::TBackupInfo> &backups)
{
    TfrmRestore dialog(backups, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosen();
}

QString TfrmRestore::takenText(const QDateTime &taken)
{
    return FieldText::formatDate(taken.date(), FormatSettings()) + QLatin1Char(' ') +
           taken.time().toString(QStringLiteral("HH:mm:ss"));
}
