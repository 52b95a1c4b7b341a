#include "TDBLookupComboBox.h"

#include "EDatabaseError.h"
#include "LookupDropDown.h"
#include "MessageDlg.h"
#include "TDataSet.h"
#include "TDataSource.h"
#include "TField.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <climits>

namespace {

bool isNullKey(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

// What assistive technology sees: a combo box whose value is the shown
// name; its name is its own or its label's (the label's buddy).
class LookupBoxAccessible : public QAccessibleWidget
{
public:
    explicit LookupBoxAccessible(QWidget *w) : QAccessibleWidget(w, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return static_cast<const TDBLookupComboBox *>(widget())->Text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *lookupBoxAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("TDBLookupComboBox") && object && object->isWidgetType())
        return new LookupBoxAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

qint64 monotonicMs()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer.elapsed();
}

} // namespace

TDBLookupComboBox::TDBLookupComboBox(QWidget *parent) : QWidget(parent), m_clock(monotonicMs)
{
    static const bool accessibleInstalled = [] {
        QAccessible::installFactory(lookupBoxAccessible);
        return true;
    }();
    Q_UNUSED(accessibleInstalled);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_dataLink.setEditsKeyField(true);
    m_dataLink.OnDataChange = [this] { dataChange(); };
    m_dataLink.OnActiveChange = [this] {
        if (ListVisible() && !ListDataSet())
            CloseUp(false);
        update();
    };
}

TDBLookupComboBox::~TDBLookupComboBox()
{
    if (m_dropDown && m_dropDown->isVisible())
        qApp->removeEventFilter(this);
}

TDataSource *TDBLookupComboBox::DataSource() const
{
    return m_dataLink.DataSource();
}

void TDBLookupComboBox::setDataSource(TDataSource *source)
{
    CloseUp(false);
    m_dataLink.setDataSource(source);
    update();
}

void TDBLookupComboBox::setDataField(const QString &name)
{
    CloseUp(false);
    m_dataLink.setFieldName(name);
    update();
}

void TDBLookupComboBox::setListSource(TDataSource *source)
{
    CloseUp(false);
    m_listSource = source;
    update();
}

void TDBLookupComboBox::setKeyField(const QString &name)
{
    m_keyFieldName = name;
    update();
}

void TDBLookupComboBox::setListField(const QString &name)
{
    m_listFieldName = name;
    update();
}

void TDBLookupComboBox::setDropDownRows(int rows)
{
    m_dropDownRows = std::max(1, rows);
}

void TDBLookupComboBox::setSearchClock(std::function<qint64()> clock)
{
    m_clock = clock ? std::move(clock) : std::function<qint64()>(monotonicMs);
}

QString TDBLookupComboBox::ChosenKeyText() const
{
    if (isNullKey(m_chosenKey))
        throw EDatabaseError(QStringLiteral("Could not convert variant of type (%1) into type (%2)")
                                 .arg(QStringLiteral("Null"), QStringLiteral("String")));
    return m_chosenKey.toString();
}

// ---- the list table ---------------------------------------------------------

TDataSet *TDBLookupComboBox::ListDataSet() const
{
    if (m_dataLink.DataSource() || !m_dataLink.FieldName().isEmpty()) {
        const TField *f = m_dataLink.Field();
        return f && f->FieldKind() == TFieldKind::fkLookup ? f->LookupDataSet() : nullptr;
    }
    return m_listSource ? m_listSource->DataSet() : nullptr;
}

QString TDBLookupComboBox::listKeyFieldName() const
{
    if (const TField *f = m_dataLink.Field())
        return f->LookupKeyFields();
    return m_keyFieldName;
}

QString TDBLookupComboBox::listFieldName() const
{
    if (const TField *f = m_dataLink.Field())
        return f->LookupResultField();
    return m_listFieldName;
}

TField *TDBLookupComboBox::listKeyField() const
{
    const TDataSet *t = ListDataSet();
    return t && t->Active() ? t->FindField(listKeyFieldName()) : nullptr;
}

TField *TDBLookupComboBox::listTextField() const
{
    const TDataSet *t = ListDataSet();
    return t && t->Active() ? t->FindField(listFieldName()) : nullptr;
}

bool TDBLookupComboBox::listReady() const
{
    return listKeyField() && listTextField();
}

// ---- value and text -----------------------------------------------------------

QVariant TDBLookupComboBox::KeyValue() const
{
    if (m_dataLink.DataSource() || !m_dataLink.FieldName().isEmpty()) {
        const TField *key = m_dataLink.EditField();
        return key ? key->Value() : QVariant();
    }
    return m_chosenKey;
}

QString TDBLookupComboBox::Text() const
{
    if (m_dataLink.DataSource() || !m_dataLink.FieldName().isEmpty()) {
        // Nothing while the list table is closed, whatever the record last
        // looked up.
        const TField *f = m_dataLink.Field();
        return f && listReady() ? f->DisplayText() : QString();
    }
    return listReady() && !isNullKey(m_chosenKey) ? m_chosenText : QString();
}

void TDBLookupComboBox::dataChange()
{
    update();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, Text());
        QAccessible::updateAccessibility(&event);
    }
}

// Accepting a row: a bound box has its data source edit and writes the key
// into the record at once (nothing when the dataset cannot edit); an
// unbound box takes the key as its ChosenKey.
void TDBLookupComboBox::acceptKey(const QVariant &key, const QString &text)
{
    if (m_dataLink.DataSource() || !m_dataLink.FieldName().isEmpty()) {
        if (!m_dataLink.Edit())
            return;
        if (TField *keyField = m_dataLink.EditField())
            keyField->setValue(key);
        return;
    }
    m_chosenKey = key;
    m_chosenText = text;
    dataChange();
}

void TDBLookupComboBox::acceptCurrentListRow()
{
    const TField *key = listKeyField();
    const TField *text = listTextField();
    if (!key || !text || key->DataSet()->IsEmpty())
        return;
    acceptKey(key->Value(), text->DisplayText());
}

// Down and Up with the list closed: the row after or before the current
// key's row (the same row at either end); the first row when the key is
// null or not in the list.
void TDBLookupComboBox::stepClosed(int delta)
{
    if (!listReady())
        return;
    TDataSet *t = ListDataSet();
    if (t->IsEmpty())
        return;
    const QVariant key = KeyValue();
    if (!isNullKey(key) && t->Locate(listKeyFieldName(), key))
        t->MoveBy(delta);
    else
        t->First();
    acceptCurrentListRow();
}

// Incremental search over a string list field: the first row, in reading
// order, whose list field begins with the search text ignoring case. A
// closed box accepts it at once; an open list only highlights it.
void TDBLookupComboBox::search(const QString &typed)
{
    const TField *listField = listTextField();
    if (!listReady() || listField->DataType() != TFieldType::String)
        return;
    TDataSet *t = ListDataSet();
    for (QChar c : typed) {
        const qint64 now = m_clock();
        if (now - m_lastSearchKey > SearchPauseMs)
            m_searchText.clear();
        m_lastSearchKey = now;
        if (m_searchText.size() >= SearchTextMax)
            continue;
        const QString wanted = m_searchText + c;
        if (!t->Locate(listFieldName(), wanted, true))
            continue;
        m_searchText = wanted;
        if (ListVisible())
            m_dropDown->highlightCurrent();
        else
            acceptCurrentListRow();
    }
}

// ---- the list ---------------------------------------------------------------

bool TDBLookupComboBox::ListVisible() const
{
    return m_dropDown && m_dropDown->isVisible();
}

void TDBLookupComboBox::DropDown()
{
    if (ListVisible() || !isEnabled())
        return;
    if (!m_dropDown)
        m_dropDown = new LookupDropDown(this);
    m_dropDown->open(KeyValue());
    qApp->installEventFilter(this);
    update();
}

void TDBLookupComboBox::CloseUp(bool accept)
{
    if (!ListVisible())
        return;
    const QVariant key = m_dropDown->highlightKey();
    const QString text = m_dropDown->highlightText();
    qApp->removeEventFilter(this);
    m_dropDown->close();
    m_searchText.clear();
    update();
    if (accept && !isNullKey(key))
        acceptKey(key, text);
}

void TDBLookupComboBox::moveHighlight(int key)
{
    const int page = std::max(1, m_dropDown->rowCount() - 1);
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Left:
        m_dropDown->moveHighlight(-1);
        break;
    case Qt::Key_Down:
    case Qt::Key_Right:
        m_dropDown->moveHighlight(1);
        break;
    case Qt::Key_PageUp:
        m_dropDown->moveHighlight(-page);
        break;
    case Qt::Key_PageDown:
        m_dropDown->moveHighlight(page);
        break;
    case Qt::Key_Home:
        m_dropDown->moveHighlight(INT_MIN);
        break;
    case Qt::Key_End:
        m_dropDown->moveHighlight(INT_MAX);
        break;
    default:
        break;
    }
}

// ---- events -------------------------------------------------------------------

void TDBLookupComboBox::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    const bool open = ListVisible();
    bool handled = true;
    MessageDlg::Guard(window(), [&] {
        if (mods == Qt::AltModifier && (key == Qt::Key_Down || key == Qt::Key_Up)) {
            open ? CloseUp(false) : DropDown();
            return;
        }
        if (mods == Qt::NoModifier) {
            switch (key) {
            case Qt::Key_Up:
            case Qt::Key_Down:
                open ? moveHighlight(key) : stepClosed(key == Qt::Key_Down ? 1 : -1);
                return;
            case Qt::Key_Left:
            case Qt::Key_Right:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown:
            case Qt::Key_Home:
            case Qt::Key_End:
                if (open)
                    moveHighlight(key);
                else
                    handled = false;
                return;
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Escape:
                if (open)
                    CloseUp(key != Qt::Key_Escape);
                else
                    handled = false;
                return;
            case Qt::Key_Backspace:
                m_searchText.clear();
                return;
            default:
                break;
            }
        }
        const QString text = event->text();
        const bool typed = !text.isEmpty() && !(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) &&
                           std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() != 0x7f; });
        if (typed)
            search(text);
        else
            handled = false;
    });
    if (handled)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void TDBLookupComboBox::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    MessageDlg::Guard(window(), [&] {
        if (ListVisible())
            CloseUp(false);
        else if (hasFocus())
            DropDown();
    });
}

void TDBLookupComboBox::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    m_searchText.clear();
    update();
}

void TDBLookupComboBox::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    CloseUp(false);
    update();
}

void TDBLookupComboBox::hideEvent(QHideEvent *event)
{
    CloseUp(false);
    QWidget::hideEvent(event);
}

// While the list is down, a press anywhere but on the list or the box
// closes it without a change (and goes on to where it was aimed).
bool TDBLookupComboBox::eventFilter(QObject *watched, QEvent *event)
{
    if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) &&
        watched->isWidgetType() && ListVisible()) {
        auto *w = static_cast<QWidget *>(watched);
        if (w != this && w != m_dropDown && !m_dropDown->isAncestorOf(w))
            CloseUp(false);
    }
    return QWidget::eventFilter(watched, event);
}

// ---- painting -------------------------------------------------------------------

void TDBLookupComboBox::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionComboBox opt;
    opt.initFrom(this);
    opt.editable = false;
    opt.frame = true;
    opt.currentText = Text();
    if (ListVisible())
        opt.state |= QStyle::State_On;
    p.drawComplexControl(QStyle::CC_ComboBox, opt);
    p.drawControl(QStyle::CE_ComboBoxLabel, opt);
}

QSize TDBLookupComboBox::sizeHint() const
{
    QStyleOptionComboBox opt;
    opt.initFrom(this);
    const QFontMetrics fm = fontMetrics();
    const QSize text(fm.horizontalAdvance(QLatin1Char('x')) * 17, fm.height());
    return style()->sizeFromContents(QStyle::CT_ComboBox, &opt, text, this);
}

QSize TDBLookupComboBox::minimumSizeHint() const
{
    QStyleOptionComboBox opt;
    opt.initFrom(this);
    const QFontMetrics fm = fontMetrics();
    const QSize text(fm.horizontalAdvance(QLatin1Char('x')) * 4, fm.height());
    return style()->sizeFromContents(QStyle::CT_ComboBox, &opt, text, this);
}
