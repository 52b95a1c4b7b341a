#pragma once

#include <QToolButton>
#include <functional>

// The command a navigator button runs.
enum class TNavButtonStyle { nbsInsert, nbsDelete, nbsPost, nbsCancel };

// One button of a record navigator: a flat button showing only its picture
// (18 x 18, a greyed version while disabled), its hint as tooltip and
// accessible name. It acts once per click, however long it is held.
class TwwNavButton : public QToolButton
{
    Q_OBJECT
    Q_DISABLE_COPY(TwwNavButton)

public:
    TwwNavButton(TNavButtonStyle style, int index, QWidget *parent);
    ~TwwNavButton() override;

    TNavButtonStyle Style() const { return m_style; }
    int Index() const { return m_index; }
    const QString &Hint() const { return m_hint; }
    void setHint(const QString &hint);
    void setShowHint(bool show);

    // The button's own click event, raised before its command; none by
    // default.
    std::function<void(QObject *Sender)> OnClick;

    // The picture of a command, 18 x 18, drawn at run time: enabled or greyed.
    static QPixmap picture(TNavButtonStyle style, bool enabled);
    static QString defaultHint(TNavButtonStyle style);
    // "Insert", "Delete", "Post", "Cancel": the button's name after its bar's.
    static QString commandName(TNavButtonStyle style);

private:
    TNavButtonStyle m_style;
    int m_index;
    QString m_hint;
    bool m_showHint = false;
};
