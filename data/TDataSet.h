#pragma once

#include "Cursor.h"
#include "TDataLink.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <deque>
#include <vector>

class TDataSource;
class TField;

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

// A stored record of a table, to be found again after the window around it
// changed (TDataSet::GetBookmark). A new record, a query's record or no
// record at all gives an empty bookmark.
class TBookmark
{
public:
    bool isEmpty() const { return m_identity == 0; }
    bool operator==(const TBookmark &) const = default;

private:
    friend class TDataSet;
    qint64 m_identity = 0;
};

// A table or query seen as records, one of them current, with one state
// shared by every control bound to it. It holds a small window of
// consecutive records (as many as its widest link shows) and reads the rest
// from the engine only when a move reaches past the window.
//
// Every operation that changes the view tells the data sources, which tell
// their controls, before it returns. Errors from the engine or from a field
// are raised as EDatabaseError; the dataset is then left as the error left it
// (a refused post stays in edit or insert state).
class TDataSet : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(TDataSet)

public:
    ~TDataSet() override;

    // The name used in messages ("SalesTable: Dataset not in edit or insert mode").
    QString Name() const { return objectName(); }

    // Fields, in field order. Persistent fields are created before opening
    // (the data module's); a dataset without any gets one field per column
    // when it opens and loses them when it closes.
    const QList<TField *> &Fields() const { return m_fields; }
    TField *FindField(const QString &name) const;  // case-insensitive; null when none
    TField *FieldByName(const QString &name) const; // throws "<name>: Field '<f>' not found"
    int FieldCount() const { return int(m_fields.size()); }

    // Open, close.
    void Open();
    void Close();
    bool Active() const { return m_state != TDataSetState::dsInactive; }
    void setActive(bool active) { active ? Open() : Close(); }
    TDataSetState State() const { return m_state; }

    // Moves. Each first settles a pending change (posted when changed,
    // cancelled when not).
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    int MoveBy(int distance);  // returns how far it moved
    bool Bof() const
    {
        ensureWindow();
        return m_bof;
    }
    bool Eof() const
    {
        ensureWindow();
        return m_eof;
    }
    bool IsEmpty() const
    {
        ensureWindow();
        return m_buffers.empty();
    }

    // Counting: the records that pass the filter, and the current record's
    // number among them (0 while inserting or when empty).
    int RecordCount();
    int RecNo();
    // Whether the dataset can report record numbers without more work than
    // it has done (a grid's proportional scroll bar relies on it). A table
    // always can; a query once it knows how many rows it has, so showing a
    // grouped sum never computes all of it just to size a scroll bar.
    bool IsSequenced() const { return m_cursor && m_cursor->countKnown(); }
    // Makes record number n (1-based) current.
    void setRecNo(int n);

    // Changes.
    bool CanModify() const;
    void Append();
    void Insert();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    // Settles a pending change: sends the commit request, then posts when the
    // record was changed and cancels it when not.
    void CheckBrowseMode();
    // Whether the record being edited or inserted has been changed.
    bool Modified() const { return m_modified; }
    // Sends the commit request to the bound controls.
    void UpdateRecord();

    // The bookmark of the record the fields present: the current record, or
    // the row a link is presenting.
    TBookmark GetBookmark() const;
    // Settles a pending change, then makes the bookmarked record current: by
    // a move when it is in the window, else by reading the window around it.
    // Returns false, standing where the settling left it, when the bookmark
    // is empty or its record no longer passes (another program deleted it).
    bool GotoBookmark(const TBookmark &bookmark);

    // Finds the first record, in reading order, whose field equals value
    // (or, with `prefix`, starts with it ignoring case) and makes it
    // current. Returns false, without moving, when none matches.
    bool Locate(const QString &fieldName, const QVariant &value, bool prefix = false);
    // The value of resultField in the first record whose keyField equals key,
    // without moving the current record. Null when none matches.
    QVariant Lookup(const QString &keyField, const QVariant &key, const QString &resultField);

    // Controls: while switched off, nothing reaches the bound controls except
    // opening and closing; the last switch-on sends one state change (if the
    // state differs) and one view change.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return m_disableCount > 0; }

    // Re-reads the window around the current record.
    void Refresh();

    // Runs when a new record is started, after it entered insert state and
    // before any control shows it; what it sets does not count as a change.
    std::function<void(TDataSet *)> OnNewRecord;
    // Runs after a stored record was deleted, whoever deleted it.
    std::function<void(TDataSet *)> AfterDelete;

    // The buffer window, for links.
    int bufferCount() const { return m_bufferCapacity; }
    int windowSize() const
    {
        ensureWindow();
        return int(m_buffers.size());
    }
    // The current record's place in the window (0 before the first window
    // is read, where it will be).
    int activeIndex() const { return m_active; }
    // Which window record the fields present (the current one unless a link
    // is drawing another row).
    int presentedIndex() const { return m_presented >= 0 ? m_presented : m_active; }
    void presentRecord(int index) { m_presented = index; }

    const QList<TDataSource *> &dataSources() const { return m_dataSources; }

    // Where an error goes that a dataset meets while it only fills its
    // window for its controls (a grid grown by a resize, in the middle of
    // laying out a window): no command is running that it could abandon, so
    // the window keeps what it holds and the error is reported. The program
    // shows it in its standard error box once the event is over; without a
    // reporter the error is raised.
    static void setViewErrorReporter(std::function<void(const QString &)> reporter);

    // Records read from the engine since the dataset was opened.
    quint64 RowsRead() const { return m_cursor ? m_cursor->rowsRead() : 0; }

protected:
    explicit TDataSet(QObject *owner);

    // Subclasses give the cursor to read through; it may throw.
    virtual std::unique_ptr<TCursor> openCursor() = 0;
    // Whether opening reads the first window at once (a query runs its
    // statement when it opens) or leaves it for the first look (a table).
    virtual bool readsOnOpen() const { return true; }
    virtual void closeCursor() {}
    // Subclasses write a record (insert state, `read` null) or update it
    // (edit state, `read` the record as it was read before the change);
    // return the record as stored so the dataset can find it again. A
    // change or deletion of a record that is no longer stored as it was
    // read raises EUpdateConflict and writes nothing.
    virtual TRecordData writeRecord(const TRecordData &record, const TRecordData *read);
    virtual void deleteRecord(const TRecordData &record);
    // Re-reads a stored record through the filter, when it still passes.
    virtual std::optional<TRecordData> reread(const TRecordData &record);
    virtual std::optional<TRecordData> locateRecord(int column, const QVariant &value, bool prefix);
    virtual QVariant lookupValue(int keyColumn, const QVariant &key, int resultColumn);

    TCursor *cursor() const { return m_cursor.get(); }
    // Message raised by any change of a dataset that cannot be modified.
    [[noreturn]] void readOnlyError() const;
    // Re-reads the first window after a filter change.
    void refilter();

    // Sends an event to every data source (respecting switched-off controls).
    void dataEvent(TDataEvent event, qintptr info = 0);

private:
    friend class TField;
    friend class TDataSource;
    friend class TDataLink;

    struct Buffer
    {
        TRecordData rec;
        QVariantList lookups;       // lookup field values, by slot
        std::vector<bool> computed; // whether each lookup slot has been worked out for this reading
    };

    // Field storage.
    void bindFields();
    void unbindFields();
    void addField(TField *field);
    void removeField(TField *field);
    void moveField(TField *field, int index);
    QVariant readValue(TRecordData &rec, int slot) const;
    QVariant storedValue(const TField *field) const;
    QVariant lookupFieldValue(const TField *field) const;
    void setFieldValue(TField *field, const QVariant &value);
    void checkAssignable(const TField *field) const;
    Buffer makeBuffer(TRecordData rec) const;
    void resetLookups(Buffer &b) const;

    // Window management. Opening a table, or changing its filter, leaves
    // its window unread until somebody looks at it: the data module opens
    // the journals with every record and the main window filters them to a
    // period at once, and several filter steps come in a row. The first look
    // reads the first window; an error it meets is a view's error (below),
    // and the window stays empty until the next move.
    void ensureWindow() const;
    void leaveWindowUnread();
    static std::function<void(const QString &)> &viewErrorReporter();
    void setBufferCapacity(int capacity);
    void updateBufferCapacity();
    void fillWindowAt(const TRecordData &current, int row);
    void fillWindowNear(const TRecordData &anchor, int row);
    void readFirst();
    void checkActive() const;
    void startNewRecord(bool append);
    void abandonNewRecord();
    void showStoredAfterConflict(const TRecordData &record);

    std::unique_ptr<TCursor> m_cursor;
    TDataSetState m_state = TDataSetState::dsInactive;
    QList<TField *> m_fields;
    bool m_defaultFields = false;
    QList<TDataSource *> m_dataSources;

    // A deque: a walk adds a record at one end and drops one at the other on
    // every step, which must not shift the whole window.
    mutable std::deque<Buffer> m_buffers;
    int m_bufferCapacity = 1;
    int m_active = 0;
    int m_presented = -1;
    bool m_bof = true;
    bool m_eof = true;
    bool m_windowUnread = false;

    bool m_modified = false;
    bool m_inNewRecord = false;
    Buffer m_savedBuffer;       // the record as it was before editing
    int m_insertedAt = -1;      // window index of the record being inserted

    int m_disableCount = 0;
    TDataSetState m_disabledState = TDataSetState::dsInactive;
    bool m_disabledActive = false;

    int m_storedSlots = 0;  // columns of the cursor
    int m_lookupSlots = 0;
};
