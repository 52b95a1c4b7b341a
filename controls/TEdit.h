#pragma once

#include <QLineEdit>

// The plain text box: free text of any length, nothing checked. The program
// reads and writes its Text.
class TEdit : public QLineEdit
{
    Q_OBJECT
    Q_DISABLE_COPY(TEdit)

public:
    explicit TEdit(QWidget *parent = nullptr);
    ~TEdit() override;

    QString Text() const { return text(); }
    void setText(const QString &text) { QLineEdit::setText(text); }
};
