#pragma once

#include <QDialog>

namespace Ui {
class TfrmAbout;
}

// The About box: version, maker, and the maker's two addresses as links.
class TfrmAbout : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(TfrmAbout)

public:
    explicit TfrmAbout(QWidget *parent = nullptr);
    ~TfrmAbout() override;

    Ui::TfrmAbout *ui;

    void Label4Click(QObject *Sender);
    void Label6Click(QObject *Sender);
    void BitBtn1Click(QObject *Sender);

protected:
    void showEvent(QShowEvent *e) override;
};
