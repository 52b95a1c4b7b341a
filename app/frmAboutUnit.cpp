#include "frmAboutUnit.h"
#include "ui_frmAboutUnit.h"

#include "AppFonts.h"
#include "FormSupport.h"
#include "frmMainUnit.h"

TfrmAbout::TfrmAbout(QWidget *parent) : QDialog(parent), ui(new Ui::TfrmAbout)
{
    ui->setupUi(this);
    // A fixed dialog frame with the system menu and close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(449, 241);
    const QFont verdana = FormSupport::font(FormSupport::Verdana, 11);
    for (QLabel *l : {ui->Label7, ui->Label1, ui->Label2, ui->Label3, ui->Label5}) {
        l->setFont(verdana);
        l->setAttribute(Qt::WA_TranslucentBackground);
    }
    for (TLinkLabel *l : {ui->Label4, ui->Label6}) {
        l->setFont(verdana);
        l->setLinkColor(QColor(0, 0, 255));
    }
    ui->BitBtn1->setFont(verdana);
    ui->Label4->OnClick = [this](QObject *s) { Label4Click(s); };
    ui->Label6->OnClick = [this](QObject *s) { Label6Click(s); };
    connect(ui->BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(ui->BitBtn1); });
}

TfrmAbout::~TfrmAbout()
{
    delete ui;
}

void TfrmAbout::showEvent(QShowEvent *e)
{
    if (parentWidget()) {
        QRect r = frameGeometry();
        r.moveCenter(parentWidget()->frameGeometry().center());
        move(r.topLeft());
    }
    QDialog::showEvent(e);
}

void TfrmAbout::Label4Click(QObject *)
{
    TfrmMain::OpenAddress(QString::fromLatin1(TfrmMain::WebSiteAddress));
}

void TfrmAbout::Label6Click(QObject *)
{
    TfrmMain::OpenAddress(QString::fromLatin1(TfrmMain::MailAddress));
}

void TfrmAbout::BitBtn1Click(QObject *)
{
    accept();
}
