#include "TDataSet.h"

#include "EDatabaseError.h"
#include "TAutoIncField.h"
#include "TDataSource.h"
#include "TDateField.h"
#include "TField.h"
#include "TFloatField.h"
#include "TIntegerField.h"
#include "TStringField.h"

#include <algorithm>

namespace {

bool isNull(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

// Restores a flag when the scope ends, also by an exception.
class FlagGuard
{
public:
    explicit FlagGuard(bool &flag) : m_flag(flag) { m_flag = true; }
    ~FlagGuard() { m_flag = false; }

private:
    bool &m_flag;
};

} // namespace

TDataSet::TDataSet(QObject *owner) : QObject(owner) {}

TDataSet::~TDataSet()
{
    m_state = TDataSetState::dsInactive;
    m_buffers.clear();
    for (TDataSource *ds : std::as_const(m_dataSources))
        ds->m_dataSet = nullptr;
    const QList<TField *> fields = m_fields;
    for (TField *f : fields) {
        f->m_dataSet = nullptr;
        delete f;
    }
}

// ---- fields ---------------------------------------------------------------

void TDataSet::addField(TField *field)
{
    m_fields.append(field);
}

void TDataSet::removeField(TField *field)
{
    m_fields.removeOne(field);
}

void TDataSet::moveField(TField *field, int index)
{
    const qsizetype from = m_fields.indexOf(field);
    if (from < 0)
        return;
    index = std::clamp<int>(index, 0, int(m_fields.size()) - 1);
    if (from == index)
        return;
    m_fields.move(from, index);
    dataEvent(TDataEvent::LayoutChange);
}

TField *TDataSet::FindField(const QString &name) const
{
    for (TField *f : m_fields)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f;
    return nullptr;
}

TField *TDataSet::FieldByName(const QString &name) const
{
    if (TField *f = FindField(name))
        return f;
    throw EDatabaseError(QStringLiteral("%1: Field '%2' not found").arg(Name(), name));
}

void TDataSet::bindFields()
{
    const QList<TCursorColumn> &cols = m_cursor->columns();
    auto columnOf = [&](const QString &name) -> int {
        for (qsizetype i = 0; i < cols.size(); ++i)
            if (cols.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
                return int(i);
        return -1;
    };
    m_storedSlots = int(cols.size());
    m_lookupSlots = 0;
    for (TField *f : std::as_const(m_fields)) {
        if (f->FieldKind() == TFieldKind::fkLookup) {
            f->m_slot = m_lookupSlots++;
            if (columnOf(f->KeyFields()) < 0)
                throw EDatabaseError(QStringLiteral("%1: Field '%2' not found").arg(Name(), f->KeyFields()));
        } else {
            f->m_slot = columnOf(f->FieldName());
            if (f->m_slot < 0)
                throw EDatabaseError(QStringLiteral("%1: Field '%2' not found").arg(Name(), f->FieldName()));
        }
    }
}

void TDataSet::unbindFields()
{
    for (TField *f : std::as_const(m_fields))
        f->m_slot = -1;
}

TDataSet::Buffer TDataSet::makeBuffer(TRecordData rec) const
{
    Buffer b;
    b.rec = std::move(rec);
    if (b.rec.values.size() < m_storedSlots)
        b.rec.values.resize(m_storedSlots);
    resetLookups(b);
    return b;
}

// Lookup values are made room for only when one is first wanted, so a walk
// that never shows a name pays nothing for them.
void TDataSet::resetLookups(Buffer &b) const
{
    b.lookups.clear();
    b.computed.clear();
}

// A stored value as somebody looks at it: the cursor learns which columns
// are wanted, and reads the rest of a record that a walk read in part.
QVariant TDataSet::readValue(TRecordData &rec, int slot) const
{
    if (rec.values.isUnread(slot))
        m_cursor->complete(rec);
    m_cursor->noteUsed(slot);
    return rec.values.at(slot);
}

QVariant TDataSet::storedValue(const TField *field) const
{
    ensureWindow();
    const int i = presentedIndex();
    if (i < 0 || i >= int(m_buffers.size()))
        return QVariant();
    return readValue(m_buffers[size_t(i)].rec, field->m_slot);
}

// A lookup is worked out from the lookup table as it is now, the first time
// the record's value is wanted after the record was read or changed; nothing
// is kept beyond that reading, so a renamed account shows its new name the
// next time a record is read.
QVariant TDataSet::lookupFieldValue(const TField *field) const
{
    ensureWindow();
    const int i = presentedIndex();
    if (i < 0 || i >= int(m_buffers.size()))
        return QVariant();
    Buffer &b = m_buffers[size_t(i)];
    const int slot = field->m_slot;
    if (b.computed.size() < size_t(m_lookupSlots)) {
        b.lookups = QVariantList(m_lookupSlots);
        b.computed.assign(size_t(m_lookupSlots), false);
    }
    if (!b.computed[size_t(slot)]) {
        QVariant v;
        TDataSet *table = field->LookupDataSet();
        const TField *keyField = FindField(field->KeyFields());
        if (table && table->Active() && keyField) {
            const QVariant key = readValue(b.rec, keyField->m_slot);
            if (!isNull(key)) {
                v = table->Lookup(field->LookupKeyFields(), key, field->LookupResultField());
                if (!isNull(v) && field->Size() > 0)
                    v = v.toString().left(field->Size());
            }
        }
        b.lookups[slot] = v;
        b.computed[size_t(slot)] = true;
    }
    return b.lookups.at(slot);
}

void TDataSet::checkAssignable(const TField *field) const
{
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert)
        throw EDatabaseError(QStringLiteral("%1: Dataset not in edit or insert mode").arg(Name()));
    if (field->FieldKind() != TFieldKind::fkData || field->ReadOnly())
        throw EDatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(field->DisplayLabel()));
}

void TDataSet::setFieldValue(TField *field, const QVariant &value)
{
    checkAssignable(field);
    Buffer &b = m_buffers[size_t(m_active)];
    b.rec.values.set(field->m_slot, value);
    resetLookups(b);
    if (!m_inNewRecord)
        m_modified = true;
    dataEvent(TDataEvent::FieldChange, reinterpret_cast<qintptr>(field));
}

// ---- open and close -------------------------------------------------------

void TDataSet::checkActive() const
{
    if (!Active())
        throw EDatabaseError(QStringLiteral("%1: Cannot perform this operation on a closed dataset").arg(Name()));
}

void TDataSet::Open()
{
    if (Active())
        return;
    m_cursor = openCursor();
    try {
        if (m_fields.isEmpty()) {
            m_defaultFields = true;
            for (const TCursorColumn &c : m_cursor->columns()) {
                switch (c.type) {
                case TFieldType::Float:
                    new TFloatField(this, c.name);
                    break;
                case TFieldType::Integer:
                    new TIntegerField(this, c.name);
                    break;
                case TFieldType::AutoInc:
                    new TAutoIncField(this, c.name);
                    break;
                case TFieldType::Date:
                    new TDateField(this, c.name);
                    break;
                case TFieldType::String:
                    new TStringField(this, c.name, c.size);
                    break;
                }
            }
        }
        bindFields();
        m_state = TDataSetState::dsBrowse;
        updateBufferCapacity();
        if (readsOnOpen())
            readFirst();
        else
            leaveWindowUnread();
    } catch (...) {
        m_state = TDataSetState::dsInactive;
        m_buffers.clear();
        unbindFields();
        if (m_defaultFields) {
            qDeleteAll(QList<TField *>(m_fields));
            m_defaultFields = false;
        }
        m_cursor.reset();
        closeCursor();
        throw;
    }
    dataEvent(TDataEvent::UpdateState);
}

void TDataSet::Close()
{
    if (!Active())
        return;
    m_state = TDataSetState::dsInactive;
    m_modified = false;
    m_buffers.clear();
    m_active = 0;
    m_presented = -1;
    m_bof = m_eof = true;
    m_windowUnread = false;
    m_cursor.reset();
    closeCursor();
    // The controls let go of the fields before default fields go away.
    dataEvent(TDataEvent::UpdateState);
    unbindFields();
    if (m_defaultFields) {
        qDeleteAll(QList<TField *>(m_fields));
        m_defaultFields = false;
    }
}

// ---- the window -----------------------------------------------------------

void TDataSet::updateBufferCapacity()
{
    int wanted = 1;
    for (TDataSource *ds : std::as_const(m_dataSources))
        for (TDataLink *l : ds->links())
            wanted = std::max(wanted, l->BufferCount());
    setBufferCapacity(wanted);
}

void TDataSet::setBufferCapacity(int capacity)
{
    capacity = std::max(capacity, 1);
    if (capacity == m_bufferCapacity)
        return;
    m_bufferCapacity = capacity;
    // However the window ends (reading more rows can fail), the links must
    // see it as it is.
    struct Relink
    {
        TDataSet *ds;
        ~Relink()
        {
            for (TDataSource *source : std::as_const(ds->m_dataSources))
                for (TDataLink *l : source->links())
                    l->updateRange();
        }
    } relink{this};
    if (!Active() || m_windowUnread || m_buffers.empty())
        return;
    if (int(m_buffers.size()) > capacity) {
        // Drop from the end first, keeping the current record.
        while (int(m_buffers.size()) > capacity && int(m_buffers.size()) - 1 > m_active)
            m_buffers.pop_back();
        while (int(m_buffers.size()) > capacity) {
            m_buffers.erase(m_buffers.begin());
            --m_active;
        }
    } else if (m_state == TDataSetState::dsBrowse) {
        try {
            const int need = capacity - int(m_buffers.size());
            for (TRecordData &r : m_cursor->after(m_buffers.back().rec, need))
                m_buffers.push_back(makeBuffer(std::move(r)));
            if (int(m_buffers.size()) < capacity) {
                QList<TRecordData> prior = m_cursor->before(m_buffers.front().rec, capacity - int(m_buffers.size()));
                m_active += int(prior.size());
                std::vector<Buffer> front;
                for (TRecordData &r : prior)
                    front.push_back(makeBuffer(std::move(r)));
                m_buffers.insert(m_buffers.begin(), std::make_move_iterator(front.begin()),
                                 std::make_move_iterator(front.end()));
            }
        } catch (const EDatabaseError &e) {
            if (!viewErrorReporter())
                throw;
            viewErrorReporter()(e.message());
        }
    }
}

std::function<void(const QString &)> &TDataSet::viewErrorReporter()
{
    static std::function<void(const QString &)> reporter;
    return reporter;
}

void TDataSet::setViewErrorReporter(std::function<void(const QString &)> reporter)
{
    viewErrorReporter() = std::move(reporter);
}

void TDataSet::readFirst()
{
    m_windowUnread = false;
    m_buffers.clear();
    for (TRecordData &r : m_cursor->first(m_bufferCapacity))
        m_buffers.push_back(makeBuffer(std::move(r)));
    m_active = 0;
    m_presented = -1;
    m_bof = true;
    m_eof = m_buffers.empty();
}

// Makes `current` the current record, shown at window row `row` when there
// are records enough before it.
void TDataSet::fillWindowAt(const TRecordData &current, int row)
{
    m_windowUnread = false;
    row = std::clamp(row, 0, m_bufferCapacity - 1);
    QList<TRecordData> prior = m_cursor->before(current, row);
    QList<TRecordData> next = m_cursor->after(current, m_bufferCapacity - 1 - int(prior.size()));
    const int total = int(prior.size() + 1 + next.size());
    if (total < m_bufferCapacity && int(prior.size()) == row)
        prior = m_cursor->before(prior.isEmpty() ? current : prior.first(), m_bufferCapacity - total) + prior;
    m_buffers.clear();
    for (TRecordData &r : prior)
        m_buffers.push_back(makeBuffer(std::move(r)));
    m_active = int(m_buffers.size());
    m_buffers.push_back(makeBuffer(current));
    for (TRecordData &r : next)
        m_buffers.push_back(makeBuffer(std::move(r)));
    m_presented = -1;
    m_bof = false;
    m_eof = false;
}

// Positions on the anchor record when it passes the filter, else on the
// record after its place in the reading order, else the one before it, else
// on nothing.
void TDataSet::fillWindowNear(const TRecordData &anchor, int row)
{
    if (std::optional<TRecordData> again = reread(anchor)) {
        fillWindowAt(*again, row);
        return;
    }
    QList<TRecordData> next = m_cursor->after(anchor, 1);
    if (!next.isEmpty()) {
        fillWindowAt(next.first(), row);
        return;
    }
    QList<TRecordData> prior = m_cursor->before(anchor, 1);
    if (!prior.isEmpty()) {
        fillWindowAt(prior.first(), row);
        return;
    }
    m_buffers.clear();
    m_active = 0;
    m_presented = -1;
    m_bof = m_eof = true;
    m_windowUnread = false;
}

void TDataSet::leaveWindowUnread()
{
    m_buffers.clear();
    m_active = 0;
    m_presented = -1;
    m_bof = m_eof = true;
    m_windowUnread = true;
}

void TDataSet::ensureWindow() const
{
    if (!m_windowUnread)
        return;
    auto *self = const_cast<TDataSet *>(this);
    try {
        self->readFirst();
    } catch (const EDatabaseError &e) {
        if (!viewErrorReporter())
            throw;
        self->m_windowUnread = false;  // not again at every repaint
        viewErrorReporter()(e.message());
    }
}

// ---- moves ----------------------------------------------------------------

void TDataSet::First()
{
    checkActive();
    CheckBrowseMode();
    readFirst();
    dataEvent(TDataEvent::DataSetChange);
}

void TDataSet::Last()
{
    checkActive();
    CheckBrowseMode();
    m_windowUnread = false;
    m_buffers.clear();
    for (TRecordData &r : m_cursor->last(m_bufferCapacity))
        m_buffers.push_back(makeBuffer(std::move(r)));
    m_active = std::max(0, int(m_buffers.size()) - 1);
    m_presented = -1;
    m_eof = true;
    m_bof = m_buffers.empty();
    dataEvent(TDataEvent::DataSetChange);
}

int TDataSet::MoveBy(int distance)
{
    checkActive();
    CheckBrowseMode();
    ensureWindow();
    if (distance == 0 || m_buffers.empty() || (distance > 0 && m_eof) || (distance < 0 && m_bof))
        return 0;
    m_bof = m_eof = false;
    m_presented = -1;
    int moved = 0;
    int shift = 0;  // how far the records that stay in the window moved in it
    bool jumped = false;
    const int cap = m_bufferCapacity;

    if (distance > 0) {
        const int inWindow = std::min(distance, int(m_buffers.size()) - 1 - m_active);
        m_active += inWindow;
        moved = inWindow;
        const int rest = distance - inWindow;
        if (rest > 0) {
            QList<TRecordData> rows;
            if (rest == 1) {
                // One step on, as a walk takes them: the record goes straight
                // into a new buffer.
                m_buffers.emplace_back();
                Buffer &b = m_buffers.back();
                if (m_cursor->afterOne(m_buffers[m_buffers.size() - 2].rec, b.rec)) {
                    if (b.rec.values.size() < m_storedSlots)
                        b.rec.values.resize(m_storedSlots);
                    moved += 1;
                } else {
                    m_buffers.pop_back();
                    m_eof = true;
                }
            } else if (rest <= cap) {
                rows = m_cursor->after(m_buffers.back().rec, rest);
                moved += int(rows.size());
                if (int(rows.size()) < rest)
                    m_eof = true;
            } else {
                // A long jump: read only the window that ends on the target.
                rows = m_cursor->after(m_buffers.back().rec, cap, rest - cap);
                jumped = true;
                if (int(rows.size()) < cap) {
                    rows = m_cursor->last(cap);
                    m_eof = true;
                }
                moved += rest;
            }
            if (jumped) {
                m_buffers.clear();
                shift = 0;
            }
            for (TRecordData &r : rows)
                m_buffers.push_back(makeBuffer(std::move(r)));
            const int drop = std::max(0, int(m_buffers.size()) - cap);
            for (int i = 0; i < drop; ++i)
                m_buffers.pop_front();
            if (!jumped)
                shift = -drop;
            m_active = int(m_buffers.size()) - 1;
        }
    } else {
        const int back = -distance;
        const int inWindow = std::min(back, m_active);
        m_active -= inWindow;
        moved = -inWindow;
        const int rest = back - inWindow;
        if (rest > 0) {
            QList<TRecordData> rows;
            if (rest <= cap) {
                rows = m_cursor->before(m_buffers.front().rec, rest);
                moved -= int(rows.size());
                if (int(rows.size()) < rest)
                    m_bof = true;
            } else {
                rows = m_cursor->before(m_buffers.front().rec, cap, rest - cap);
                jumped = true;
                if (int(rows.size()) < cap) {
                    rows = m_cursor->first(cap);
                    m_bof = true;
                }
                moved -= rest;
            }
            std::vector<Buffer> front;
            for (TRecordData &r : rows)
                front.push_back(makeBuffer(std::move(r)));
            if (jumped)
                m_buffers.clear();
            else
                shift = int(front.size());
            m_buffers.insert(m_buffers.begin(), std::make_move_iterator(front.begin()),
                             std::make_move_iterator(front.end()));
            if (int(m_buffers.size()) > cap)
                m_buffers.resize(size_t(cap));
            m_active = 0;
        }
    }
    if (jumped)
        dataEvent(TDataEvent::DataSetChange);
    else
        dataEvent(TDataEvent::DataSetScroll, shift);
    return moved;
}

int TDataSet::RecordCount()
{
    checkActive();
    return m_cursor->count();
}

int TDataSet::RecNo()
{
    checkActive();
    ensureWindow();
    if (m_buffers.empty() || m_state == TDataSetState::dsInsert)
        return 0;
    TRecordData &r = m_buffers[size_t(m_active)].rec;
    if (r.recNo <= 0)
        r.recNo = m_cursor->recordNumber(r);
    return int(r.recNo);
}

void TDataSet::setRecNo(int n)
{
    checkActive();
    CheckBrowseMode();
    const int count = m_cursor->count();
    if (count == 0)
        return;
    n = std::clamp(n, 1, count);
    m_windowUnread = false;
    QList<TRecordData> rows = m_cursor->first(m_bufferCapacity, n - 1);
    const int missing = m_bufferCapacity - int(rows.size());
    if (missing > 0 && !rows.isEmpty())
        rows = m_cursor->before(rows.first(), missing) + rows;
    m_buffers.clear();
    m_active = 0;
    for (TRecordData &r : rows) {
        if (r.recNo == n)
            m_active = int(m_buffers.size());
        m_buffers.push_back(makeBuffer(std::move(r)));
    }
    m_presented = -1;
    m_bof = n == 1;
    m_eof = false;
    dataEvent(TDataEvent::DataSetChange);
}

// ---- changes --------------------------------------------------------------

bool TDataSet::CanModify() const
{
    return Active() && m_cursor->canModify();
}

void TDataSet::readOnlyError() const
{
    throw EDatabaseError(QStringLiteral("%1: Cannot modify a read-only dataset").arg(Name()));
}

void TDataSet::Append()
{
    checkActive();
    if (!CanModify())
        readOnlyError();
    CheckBrowseMode();
    startNewRecord(true);
}

void TDataSet::Insert()
{
    checkActive();
    if (!CanModify())
        readOnlyError();
    CheckBrowseMode();
    startNewRecord(false);
}

void TDataSet::startNewRecord(bool append)
{
    ensureWindow();
    const bool wasEmpty = m_buffers.empty();
    m_savedBuffer = wasEmpty ? Buffer() : m_buffers[size_t(m_active)];
    Buffer blank = makeBuffer(TRecordData());
    if (append) {
        m_buffers.clear();
        for (TRecordData &r : m_cursor->last(m_bufferCapacity - 1))
            m_buffers.push_back(makeBuffer(std::move(r)));
        m_buffers.push_back(std::move(blank));
        m_active = int(m_buffers.size()) - 1;
        m_eof = true;
        if (!wasEmpty)
            m_bof = false;
    } else {
        m_buffers.insert(m_buffers.begin() + (wasEmpty ? 0 : m_active), std::move(blank));
        if (wasEmpty)
            m_active = 0;
        if (int(m_buffers.size()) > m_bufferCapacity)
            m_buffers.pop_back();
    }
    m_presented = -1;
    m_insertedAt = m_active;
    m_state = TDataSetState::dsInsert;
    m_modified = false;
    try {
        FlagGuard guard(m_inNewRecord);
        if (OnNewRecord)
            OnNewRecord(this);
    } catch (...) {
        // The new record is abandoned and the table browses again.
        abandonNewRecord();
        dataEvent(TDataEvent::DataSetChange);
        throw;
    }
    m_modified = false;
    dataEvent(TDataEvent::UpdateState);
    dataEvent(TDataEvent::DataSetChange);
}

void TDataSet::Edit()
{
    checkActive();
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert)
        return;
    if (!CanModify())
        readOnlyError();
    ensureWindow();
    if (m_buffers.empty()) {
        Insert();
        return;
    }
    // A change stores every column, so every one must be known first.
    m_cursor->complete(m_buffers[size_t(m_active)].rec);
    m_savedBuffer = m_buffers[size_t(m_active)];
    resetLookups(m_buffers[size_t(m_active)]);
    m_state = TDataSetState::dsEdit;
    m_modified = false;
    dataEvent(TDataEvent::UpdateState);
    dataEvent(TDataEvent::RecordChange);
}

void TDataSet::UpdateRecord()
{
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert)
        dataEvent(TDataEvent::UpdateRecord);
}

void TDataSet::Post()
{
    checkActive();
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert)
        return;
    UpdateRecord();
    const bool inserting = m_state == TDataSetState::dsInsert;
    TRecordData stored;
    try {
        stored = writeRecord(m_buffers[size_t(m_active)].rec, inserting ? nullptr : &m_savedBuffer.rec);
    } catch (const EUpdateConflict &) {
        // Another user's change wins: the edit ends, and the record shows
        // as it is stored now.
        m_state = TDataSetState::dsBrowse;
        m_modified = false;
        showStoredAfterConflict(m_savedBuffer.rec);
        dataEvent(TDataEvent::UpdateState);
        throw;
    }
    m_state = TDataSetState::dsBrowse;
    m_modified = false;
    fillWindowNear(stored, m_active);
    dataEvent(TDataEvent::UpdateState);
    dataEvent(TDataEvent::DataSetChange);
}

void TDataSet::Cancel()
{
    checkActive();
    if (m_state == TDataSetState::dsEdit) {
        m_buffers[size_t(m_active)] = m_savedBuffer;
        resetLookups(m_buffers[size_t(m_active)]);
    } else if (m_state == TDataSetState::dsInsert) {
        abandonNewRecord();
    } else {
        return;
    }
    m_presented = -1;
    m_state = TDataSetState::dsBrowse;
    m_modified = false;
    dataEvent(TDataEvent::UpdateState);
    dataEvent(TDataEvent::DataSetChange);
}

void TDataSet::Delete()
{
    checkActive();
    if (!CanModify())
        readOnlyError();
    if (m_state == TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    if (m_state == TDataSetState::dsEdit)
        Cancel();
    ensureWindow();
    if (m_buffers.empty())
        throw EDatabaseError(QStringLiteral("%1: Cannot perform this operation on an empty dataset").arg(Name()));
    // The record is deleted only as it was read: every column must be known.
    m_cursor->complete(m_buffers[size_t(m_active)].rec);
    const TRecordData gone = m_buffers[size_t(m_active)].rec;
    try {
        deleteRecord(gone);
    } catch (const EUpdateConflict &) {
        showStoredAfterConflict(gone);
        throw;
    }
    QList<TRecordData> next = m_cursor->after(gone, 1);
    if (next.isEmpty())
        next = m_cursor->before(gone, 1);
    if (next.isEmpty()) {
        m_buffers.clear();
        m_active = 0;
        m_bof = m_eof = true;
    } else {
        fillWindowAt(next.first(), m_active);
    }
    m_presented = -1;
    dataEvent(TDataEvent::DataSetChange);
    if (AfterDelete)
        AfterDelete(this);
}

void TDataSet::CheckBrowseMode()
{
    checkActive();
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert)
        return;
    UpdateRecord();
    if (m_modified)
        Post();
    else
        Cancel();
}

// Drops the record being inserted and stands again on the record that was
// current when it was started (the last one when the table was empty).
void TDataSet::abandonNewRecord()
{
    m_buffers.erase(m_buffers.begin() + m_insertedAt);
    m_state = TDataSetState::dsBrowse;
    m_modified = false;
    m_presented = -1;
    if (m_savedBuffer.rec.identity != 0) {
        fillWindowNear(m_savedBuffer.rec, m_insertedAt);
        return;
    }
    m_buffers.clear();
    for (TRecordData &r : m_cursor->last(m_bufferCapacity))
        m_buffers.push_back(makeBuffer(std::move(r)));
    m_active = std::max(0, int(m_buffers.size()) - 1);
    m_bof = m_eof = m_buffers.empty();
}

TRecordData TDataSet::writeRecord(const TRecordData &, const TRecordData *)
{
    readOnlyError();
}

// Reads the window again around a record whose change was refused, so the
// controls show what another user stored (or that they deleted it).
void TDataSet::showStoredAfterConflict(const TRecordData &record)
{
    try {
        fillWindowNear(record, m_active);
    } catch (const EDatabaseError &) {
        readFirst();  // the record cannot be read at all: show the start
    }
    m_presented = -1;
    dataEvent(TDataEvent::DataSetChange);
}

void TDataSet::deleteRecord(const TRecordData &)
{
    readOnlyError();
}

std::optional<TRecordData> TDataSet::reread(const TRecordData &record)
{
    return record;
}

std::optional<TRecordData> TDataSet::locateRecord(int column, const QVariant &value, bool prefix)
{
    // Queries are small: look through them in order.
    const QString text = value.toString();
    for (int n = 1;; n += 64) {
        const QList<TRecordData> rows = m_cursor->first(64, n - 1);
        for (const TRecordData &r : rows) {
            const QVariant v = r.values.at(column);
            if (prefix ? v.toString().startsWith(text, Qt::CaseInsensitive) : v == value)
                return r;
        }
        if (rows.size() < 64)
            return std::nullopt;
    }
}

QVariant TDataSet::lookupValue(int keyColumn, const QVariant &key, int resultColumn)
{
    const std::optional<TRecordData> r = locateRecord(keyColumn, key, false);
    return r ? r->values.at(resultColumn) : QVariant();
}

bool TDataSet::Locate(const QString &fieldName, const QVariant &value, bool prefix)
{
    checkActive();
    CheckBrowseMode();
    TField *f = FieldByName(fieldName);
    if (f->FieldKind() != TFieldKind::fkData)
        throw EDatabaseError(QStringLiteral("Field '%1' cannot be used to locate a record").arg(f->DisplayLabel()));
    const std::optional<TRecordData> r = locateRecord(f->m_slot, value, prefix);
    if (!r)
        return false;
    fillWindowAt(*r, (m_bufferCapacity - 1) / 2);
    dataEvent(TDataEvent::DataSetChange);
    return true;
}

TBookmark TDataSet::GetBookmark() const
{
    // A new record has no identity yet, nor has a query's record.
    TBookmark b;
    if (Active()) {
        ensureWindow();
        const int index = presentedIndex();
        if (index >= 0 && index < int(m_buffers.size()))
            b.m_identity = m_buffers[size_t(index)].rec.identity;
    }
    return b;
}

bool TDataSet::GotoBookmark(const TBookmark &bookmark)
{
    checkActive();
    CheckBrowseMode();
    if (bookmark.isEmpty())
        return false;
    ensureWindow();
    for (int i = 0; i < int(m_buffers.size()); ++i)
        if (m_buffers[size_t(i)].rec.identity == bookmark.m_identity) {
            MoveBy(i - m_active);
            return true;
        }
    TRecordData wanted;
    wanted.identity = bookmark.m_identity;
    const std::optional<TRecordData> r = reread(wanted);
    if (!r)
        return false;
    fillWindowAt(*r, m_active);
    dataEvent(TDataEvent::DataSetChange);
    return true;
}

QVariant TDataSet::Lookup(const QString &keyField, const QVariant &key, const QString &resultField)
{
    if (!Active())
        return QVariant();
    const TField *k = FieldByName(keyField);
    const TField *r = FieldByName(resultField);
    if (k->FieldKind() != TFieldKind::fkData || r->FieldKind() != TFieldKind::fkData)
        return QVariant();
    return lookupValue(k->m_slot, key, r->m_slot);
}

void TDataSet::Refresh()
{
    checkActive();
    CheckBrowseMode();
    if (m_windowUnread || m_buffers.empty())
        readFirst();
    else
        fillWindowNear(m_buffers[size_t(m_active)].rec, m_active);
    dataEvent(TDataEvent::DataSetChange);
}

void TDataSet::refilter()
{
    leaveWindowUnread();
    dataEvent(TDataEvent::DataSetChange);
}

// ---- notifications --------------------------------------------------------

void TDataSet::DisableControls()
{
    if (m_disableCount++ == 0) {
        m_disabledState = m_state;
        m_disabledActive = Active();
    }
}

void TDataSet::EnableControls()
{
    if (m_disableCount == 0 || --m_disableCount > 0)
        return;
    if (m_disabledState != m_state)
        dataEvent(TDataEvent::UpdateState);
    if (m_disabledActive && Active())
        dataEvent(TDataEvent::DataSetChange);
}

void TDataSet::dataEvent(TDataEvent event, qintptr info)
{
    if (m_disableCount > 0) {
        // Opening and closing still reach the controls, so they let go of
        // the fields or find them again.
        if (event == TDataEvent::UpdateState)
            info = 1;
        else
            return;
    }
    const QList<TDataSource *> sources = m_dataSources;
    for (TDataSource *ds : sources)
        ds->dataEvent(event, info);
}
