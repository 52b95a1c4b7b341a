#include "TDataLink.h"

#include "TDataSet.h"
#include "TDataSource.h"

#include <algorithm>

TDataLink::TDataLink() = default;

TDataLink::~TDataLink()
{
    if (m_dataSource)
        m_dataSource->removeLink(this);
}

void TDataLink::setDataSource(TDataSource *source)
{
    if (source == m_dataSource)
        return;
    if (m_dataSource)
        m_dataSource->removeLink(this);
    m_dataSource = source;
    if (m_dataSource)
        m_dataSource->addLink(this);
    updateActive();
}

TDataSet *TDataLink::DataSet() const
{
    return m_dataSource ? m_dataSource->DataSet() : nullptr;
}

void TDataLink::setReadOnly(bool readOnly)
{
    if (readOnly == m_readOnly)
        return;
    m_readOnly = readOnly;
    updateActive();
}

void TDataLink::setBufferCount(int count)
{
    count = std::max(count, 1);
    if (count == m_bufferCount)
        return;
    m_bufferCount = count;
    if (TDataSet *ds = DataSet(); ds && m_active)
        ds->updateBufferCapacity();
    updateRange();
}

int TDataLink::RecordCount() const
{
    const TDataSet *ds = DataSet();
    if (!m_active || !ds)
        return 0;
    return std::clamp(ds->windowSize() - m_firstRecord, 0, m_bufferCount);
}

int TDataLink::ActiveRecord() const
{
    const TDataSet *ds = DataSet();
    if (!m_active || !ds)
        return 0;
    return ds->activeIndex() - m_firstRecord;
}

void TDataLink::setActiveRecord(int index)
{
    if (TDataSet *ds = DataSet(); ds && m_active)
        ds->presentRecord(m_firstRecord + index == ds->activeIndex() ? -1 : m_firstRecord + index);
}

bool TDataLink::Edit()
{
    if (m_dataSource && !m_readOnly)
        m_dataSource->Edit();
    return m_editing;
}

void TDataLink::UpdateRecord()
{
    m_updating = true;
    try {
        UpdateData();
    } catch (...) {
        m_updating = false;
        throw;
    }
    m_updating = false;
}

void TDataLink::DataSetScrolled(int distance)
{
    Q_UNUSED(distance);
    DataSetChanged();
}

// Keeps the current record inside this link's part of the dataset's window,
// and that part as full as the window allows.
void TDataLink::updateRange()
{
    const TDataSet *ds = DataSet();
    if (!m_active || !ds) {
        m_firstRecord = 0;
        return;
    }
    // Notifications must not read a window nobody has looked at yet.
    const int size = int(ds->m_buffers.size());
    const int active = ds->activeIndex();
    if (m_firstRecord > active)
        m_firstRecord = active;
    if (active >= m_firstRecord + m_bufferCount)
        m_firstRecord = active - m_bufferCount + 1;
    if (m_firstRecord + m_bufferCount > size)
        m_firstRecord = size - m_bufferCount;
    m_firstRecord = std::max(m_firstRecord, 0);
}

void TDataLink::updateActive()
{
    const TDataSet *ds = DataSet();
    const bool active = ds && ds->Active();
    if (active != m_active) {
        m_active = active;
        m_firstRecord = 0;
        if (active && m_bufferCount > 1)
            const_cast<TDataSet *>(ds)->updateBufferCapacity();
        updateRange();
        ActiveChanged();
    }
    const bool editing = m_active && !m_readOnly &&
                         (ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert);
    if (editing != m_editing) {
        m_editing = editing;
        EditingChanged();
    }
}

void TDataLink::dataEvent(TDataEvent event, qintptr info)
{
    switch (event) {
    case TDataEvent::UpdateState:
        if (info == 1) {
            // Only opening or closing passes while controls are switched off.
            const TDataSet *ds = DataSet();
            const bool active = ds && ds->Active();
            if (active != m_active)
                updateActive();
        } else {
            updateActive();
        }
        return;
    case TDataEvent::FieldChange:
    case TDataEvent::RecordChange:
        if (m_active && !m_updating)
            RecordChanged(event == TDataEvent::FieldChange ? reinterpret_cast<TField *>(info) : nullptr);
        return;
    case TDataEvent::DataSetChange:
    case TDataEvent::DataSetScroll:
    case TDataEvent::LayoutChange: {
        if (!m_active)
            return;
        const int oldFirst = m_firstRecord;
        if (event == TDataEvent::DataSetScroll)
            m_firstRecord += int(info);
        updateRange();
        if (event == TDataEvent::DataSetScroll) {
            // How many records this link's window moved forward in the data.
            DataSetScrolled((m_firstRecord - int(info)) - oldFirst);
        } else if (event == TDataEvent::LayoutChange) {
            LayoutChanged();
        } else {
            DataSetChanged();
        }
        return;
    }
    case TDataEvent::UpdateRecord:
        if (m_active)
            UpdateRecord();
        return;
    }
}
