#pragma once

#include "TDataSource.h"
#include "TFieldDataLink.h"

#include <QPointer>
#include <QVariant>
#include <QWidget>
#include <functional>

class LookupDropDown;
class TDataSet;
class TField;

// A lookup box: shows a name, lists the names of a list table, and on the
// user's choice of a row takes that row's key.
//
// Bound (DataSource and DataField naming a lookup field): the list table,
// key field and list field come from the lookup field's definition; the box
// shows the lookup field's text and, when a row is accepted, asks the data
// source to edit and writes the row's key into the record's key field at
// once.
//
// Unbound (ListSource, KeyField, ListField): accepting a row sets ChosenKey
// and shows the row's list field; nothing is written to any dataset.
//
// The list drops down below the box (above it near the bottom of the
// screen), DropDownRows rows high, and never takes the focus: keys keep
// going to the box. Incremental search: typed characters find the first
// row, in reading order, whose list field begins with the text typed so far
// (ignoring case); the text starts again after a pause of more than
// 2000 ms, and holds at most 32 characters.
//
// Finding rows moves the list table's current record.
class TDBLookupComboBox : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(TDBLookupComboBox)

public:
    // Pause after which a typed character starts a new search text.
    static constexpr qint64 SearchPauseMs = 2000;
    static constexpr int SearchTextMax = 32;

    explicit TDBLookupComboBox(QWidget *parent = nullptr);
    ~TDBLookupComboBox() override;

    // Bound box.
    TDataSource *DataSource() const;
    void setDataSource(TDataSource *source);
    const QString &DataField() const { return m_dataLink.FieldName(); }
    void setDataField(const QString &name);
    TField *Field() const { return m_dataLink.Field(); }

    // Unbound box.
    TDataSource *ListSource() const { return m_listSource; }
    void setListSource(TDataSource *source);
    const QString &KeyField() const { return m_keyFieldName; }
    void setKeyField(const QString &name);
    const QString &ListField() const { return m_listFieldName; }
    void setListField(const QString &name);

    int DropDownRows() const { return m_dropDownRows; }
    void setDropDownRows(int rows);

    // The unbound box's value: null (an invalid QVariant) until a row is
    // accepted, then the accepted key, an integer.
    QVariant ChosenKey() const { return m_chosenKey; }
    // ChosenKey as decimal text; throws EDatabaseError "Could not convert
    // variant of type (Null) into type (String)" while it is null.
    QString ChosenKeyText() const;
    // The current key: the record's key field (bound) or ChosenKey.
    QVariant KeyValue() const;
    // The text the box shows.
    QString Text() const;

    // The list table, its key field and its list field as the box uses them.
    TDataSet *ListDataSet() const;

    bool ListVisible() const;
    // Drops the list down (no-op when already down).
    void DropDown();
    // Closes the list; with accept, the highlighted row is accepted.
    void CloseUp(bool accept);

    // The clock the incremental search measures pauses with, in
    // milliseconds (monotonic); tests fix it.
    void setSearchClock(std::function<qint64()> clock);
    const QString &SearchText() const { return m_searchText; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class LookupDropDown;

    TField *listKeyField() const;
    TField *listTextField() const;
    QString listKeyFieldName() const;
    QString listFieldName() const;
    bool listReady() const;

    void dataChange();
    void acceptKey(const QVariant &key, const QString &text);
    void acceptCurrentListRow();
    void stepClosed(int delta);
    void search(const QString &typed);
    void moveHighlight(int key);
    void showDropDown(bool show);

    TFieldDataLink m_dataLink;
    QPointer<TDataSource> m_listSource;
    QString m_keyFieldName;
    QString m_listFieldName;
    int m_dropDownRows = 7;

    QVariant m_chosenKey;
    QString m_chosenText;

    QString m_searchText;
    qint64 m_lastSearchKey = 0;
    std::function<qint64()> m_clock;

    LookupDropDown *m_dropDown = nullptr;
};
