#include "TwwDBNavigator.h"

#include "EDatabaseError.h"
#include "MessageDlg.h"
#include "TDataLink.h"
#include "TDataSet.h"
#include "TDataSource.h"

#include <QEvent>

// The bar's subscription: every notification that can change what makes
// sense (opening, closing, any move or change of the view, entering or
// leaving edit or insert state) recomputes the buttons.
class TwwNavDataLink : public TDataLink
{
public:
    explicit TwwNavDataLink(TwwDBNavigator *bar) : m_bar(bar) {}

protected:
    void ActiveChanged() override { m_bar->updateButtons(); }
    void DataSetChanged() override { m_bar->updateButtons(); }
    void DataSetScrolled(int) override { m_bar->updateButtons(); }
    void EditingChanged() override { m_bar->updateButtons(); }

private:
    TwwDBNavigator *m_bar;
};

TwwDBNavigator::TwwDBNavigator(QWidget *parent)
    : QWidget(parent), m_dataLink(std::make_unique<TwwNavDataLink>(this))
{
    const TNavButtonStyle styles[] = {TNavButtonStyle::nbsInsert, TNavButtonStyle::nbsDelete,
                                      TNavButtonStyle::nbsPost, TNavButtonStyle::nbsCancel};
    for (TNavButtonStyle style : styles) {
        auto *b = new TwwNavButton(style, int(m_buttons.size()), this);
        connect(b, &QAbstractButton::clicked, this, [this, b] {
            if (b->OnClick)
                b->OnClick(b);
            runCommand(b->Style());
        });
        m_buttons.append(b);
    }
    // The buttons are named after the bar ("wwDBNavigator1Insert"), whose
    // name a window's layout sets after creating it.
    connect(this, &QObject::objectNameChanged, this, [this] { nameButtons(); });
    arrangeButtons();
    updateButtons();
}

TwwDBNavigator::~TwwDBNavigator()
{
    m_dataLink->setDataSource(nullptr);
}

TDataSource *TwwDBNavigator::DataSource() const
{
    return m_dataLink->DataSource();
}

void TwwDBNavigator::setDataSource(TDataSource *source)
{
    m_dataLink->setDataSource(source);
    updateButtons();
}

void TwwDBNavigator::setShowHint(bool show)
{
    m_showHint = show;
    for (TwwNavButton *b : std::as_const(m_buttons))
        b->setShowHint(show);
}

void TwwDBNavigator::setFlat(bool flat)
{
    m_flat = flat;
    for (TwwNavButton *b : std::as_const(m_buttons))
        b->setAutoRaise(flat);
}

void TwwDBNavigator::setAutosizeStyle(TwwAutosizeStyle style)
{
    m_autosize = style;
    arrangeButtons();
}

void TwwDBNavigator::setLayout(TwwNavLayout layout)
{
    m_layout = layout;
    arrangeButtons();
}

TwwNavButton *TwwDBNavigator::Button(TNavButtonStyle style) const
{
    for (TwwNavButton *b : m_buttons)
        if (b->Style() == style)
            return b;
    return nullptr;
}

void TwwDBNavigator::nameButtons()
{
    for (TwwNavButton *b : std::as_const(m_buttons))
        b->setObjectName(objectName() + TwwNavButton::commandName(b->Style()));
}

void TwwDBNavigator::arrangeButtons()
{
    for (TwwNavButton *b : std::as_const(m_buttons)) {
        const int i = b->Index();
        const QPoint at = m_layout == TwwNavLayout::nlHorizontal ? QPoint(i * ButtonWidth, 0)
                                                                 : QPoint(0, i * ButtonHeight);
        b->setGeometry(QRect(at, QSize(ButtonWidth, ButtonHeight)));
    }
    if (m_autosize == TwwAutosizeStyle::asSizeNavigator)
        setFixedSize(sizeHint());
    updateGeometry();
}

QSize TwwDBNavigator::sizeHint() const
{
    const int n = int(m_buttons.size());
    return m_layout == TwwNavLayout::nlHorizontal ? QSize(n * ButtonWidth, ButtonHeight)
                                                  : QSize(ButtonWidth, n * ButtonHeight);
}

void TwwDBNavigator::updateButtons()
{
    const TDataSet *ds = m_dataLink->DataSet();
    const bool live = ds && m_dataLink->Active() && isEnabled();
    const bool canModify = live && ds->CanModify();
    const bool editing = canModify && m_dataLink->Editing();
    const bool empty = !ds || (ds->Bof() && ds->Eof());
    for (TwwNavButton *b : std::as_const(m_buttons)) {
        bool enabled = false;
        switch (b->Style()) {
        case TNavButtonStyle::nbsInsert:
            enabled = canModify;
            break;
        case TNavButtonStyle::nbsDelete:
            enabled = canModify && !empty;
            break;
        case TNavButtonStyle::nbsPost:
        case TNavButtonStyle::nbsCancel:
            enabled = editing;
            break;
        }
        b->setEnabled(enabled);
    }
}

void TwwDBNavigator::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        updateButtons();
}

void TwwDBNavigator::BtnClick(TNavButtonStyle style)
{
    if (TwwNavButton *b = Button(style); b && b->isEnabled())
        b->click();
}

// A command's error is shown; the dataset stays where the error left it.
void TwwDBNavigator::runCommand(TNavButtonStyle style)
{
    TDataSet *ds = m_dataLink->DataSet();
    if (!ds)
        return;
    MessageDlg::Guard(window(), [&] {
        switch (style) {
        case TNavButtonStyle::nbsInsert:
            ds->Insert();
            break;
        case TNavButtonStyle::nbsDelete:
            if ((m_options & noConfirmDelete) &&
                MessageDlg::MessageDlg(QStringLiteral("Delete record?"), MessageDlg::TMsgDlgType::mtConfirmation,
                                       MessageDlg::mbOK | MessageDlg::mbCancel) != MessageDlg::TModalResult::mrOk)
                return;
            ds->Delete();
            break;
        case TNavButtonStyle::nbsPost:
            ds->Post();
            break;
        case TNavButtonStyle::nbsCancel:
            ds->Cancel();
            break;
        }
    });
}
