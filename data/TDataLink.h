#pragma once

#include <QtGlobal>

class TDataSet;
class TDataSource;
class TField;

// What a dataset tells the controls bound to it, through their data sources.
enum class TDataEvent {
    FieldChange,    // one field of the current record got a new value (info: the field)
    RecordChange,   // the current record's values changed as a whole
    DataSetChange,  // the view changed: opened, moved far, filtered, posted, cancelled, deleted
    DataSetScroll,  // the current record moved by a few records (info: how far the window shifted)
    LayoutChange,   // fields were moved, shown or hidden
    UpdateRecord,   // commit request: the dataset is about to post or settle
    UpdateState,    // the state (inactive, browse, edit, insert) changed
};

// A control's subscription to a data source. It sees a window of
// BufferCount consecutive records of the dataset (a grid asks for as many as
// it shows) with one of them current, and is told of every change through
// the virtual handlers below, by direct calls inside the dataset operation
// that causes them.
class TDataLink
{
    Q_DISABLE_COPY(TDataLink)

public:
    TDataLink();
    virtual ~TDataLink();

    TDataSource *DataSource() const { return m_dataSource; }
    void setDataSource(TDataSource *source);
    TDataSet *DataSet() const;

    // The link is active while its data source's dataset is open.
    bool Active() const { return m_active; }
    // The dataset is in edit or insert state.
    bool Editing() const { return m_editing; }
    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);

    int BufferCount() const { return m_bufferCount; }
    void setBufferCount(int count);
    // How many records the link's window holds now, and which is current.
    int RecordCount() const;
    int ActiveRecord() const;
    // Presents record `index` of the window to the fields (for drawing a
    // row); the caller restores the previous value.
    void setActiveRecord(int index);

    // Asks the data source to put the dataset into edit state. Returns
    // whether it is editing afterwards.
    bool Edit();
    // Sends the commit request to every link (this one included).
    void UpdateRecord();

protected:
    virtual void ActiveChanged() {}
    virtual void DataSetChanged() {}
    virtual void DataSetScrolled(int distance);
    virtual void RecordChanged(TField *field) { Q_UNUSED(field); }
    virtual void EditingChanged() {}
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void UpdateData() {}

    // True while this link itself sends the commit request, so it can ignore
    // the changes its own write causes.
    bool Updating() const { return m_updating; }

private:
    friend class TDataSource;
    friend class TDataSet;
    void dataEvent(TDataEvent event, qintptr info);
    void updateActive();
    void updateRange();

    TDataSource *m_dataSource = nullptr;
    bool m_active = false;
    bool m_editing = false;
    bool m_readOnly = false;
    bool m_updating = false;
    int m_bufferCount = 1;
    int m_firstRecord = 0;  // index in the dataset's window of this link's first record
};
