#pragma once

#include "TwwNavButton.h"

#include <QList>
#include <QWidget>
#include <memory>

class TDataSet;
class TDataSource;
class TwwNavDataLink;

// The record navigator: a borderless bar of four flat buttons (insert,
// delete, post, cancel; 50 x 30 each, side by side) bound to a data source.
// Each button is enabled only while its command makes sense, recomputed
// after every notification of the dataset, on binding and when the bar is
// enabled or disabled:
//   insert: live and the dataset can be modified;
//   delete: live, modifiable, and the dataset not empty (not at its
//           beginning and end at once);
//   post, cancel: live, modifiable, and a record being edited or inserted;
// where live means the dataset is open and the bar enabled.
//
// A click runs the button's OnClick, then its command; delete first asks
// "Delete record?" when Options() holds noConfirmDelete (the default). An
// error of the command is shown in the standard error box; the dataset stays
// where the error left it.
class TwwDBNavigator : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(TwwDBNavigator)

public:
    enum TwwNavOption { noConfirmDelete = 0x1, noUseInternationalText = 0x2 };
    enum class TwwAutosizeStyle { asSizeNavigator, asSizeNavButtons, asNone };
    enum class TwwNavLayout { nlHorizontal, nlVertical };
    // Repeat settings of record-movement buttons; the four buttons of this
    // bar do not repeat, so they have no effect here.
    struct TwwNavRepeatInterval
    {
        int InitialDelay = 500;
        int Interval = 100;
    };

    static constexpr int ButtonWidth = 50;
    static constexpr int ButtonHeight = 30;

    explicit TwwDBNavigator(QWidget *parent = nullptr);
    ~TwwDBNavigator() override;

    TDataSource *DataSource() const;
    void setDataSource(TDataSource *source);

    bool ShowHint() const { return m_showHint; }
    void setShowHint(bool show);
    int Options() const { return m_options; }
    void setOptions(int options) { m_options = options; }
    TwwNavRepeatInterval &RepeatInterval() { return m_repeat; }
    bool Flat() const { return m_flat; }
    void setFlat(bool flat);
    TwwAutosizeStyle AutosizeStyle() const { return m_autosize; }
    void setAutosizeStyle(TwwAutosizeStyle style);
    TwwNavLayout Layout() const { return m_layout; }
    void setLayout(TwwNavLayout layout);

    // The buttons in the order of their Index.
    const QList<TwwNavButton *> &Buttons() const { return m_buttons; }
    TwwNavButton *Button(TNavButtonStyle style) const;

    // Runs a button's command as a click on it does (errors are shown).
    void BtnClick(TNavButtonStyle style);

    // Recomputes whether each button is enabled.
    void updateButtons();

    QSize sizeHint() const override;

protected:
    void changeEvent(QEvent *event) override;

private:
    void runCommand(TNavButtonStyle style);
    void arrangeButtons();
    void nameButtons();

    std::unique_ptr<TwwNavDataLink> m_dataLink;
    QList<TwwNavButton *> m_buttons;
    bool m_showHint = false;
    int m_options = noConfirmDelete;
    TwwNavRepeatInterval m_repeat;
    bool m_flat = true;
    TwwAutosizeStyle m_autosize = TwwAutosizeStyle::asSizeNavigator;
    TwwNavLayout m_layout = TwwNavLayout::nlHorizontal;
};
