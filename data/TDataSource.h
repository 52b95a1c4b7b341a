#pragma once

#include "TDataLink.h"

#include <QList>
#include <QObject>

enum class TDataSetState;

// Joins one dataset to any number of bound controls: it passes the
// dataset's notifications to their links and mirrors the dataset's state.
// With AutoEdit, a control that is about to change a value has the data
// source put a browsing dataset into edit state.
class TDataSource : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(TDataSource)

public:
    explicit TDataSource(QObject *owner = nullptr, TDataSet *dataSet = nullptr);
    ~TDataSource() override;

    TDataSet *DataSet() const { return m_dataSet; }
    void setDataSet(TDataSet *dataSet);
    bool AutoEdit() const { return m_autoEdit; }
    void setAutoEdit(bool autoEdit) { m_autoEdit = autoEdit; }
    TDataSetState State() const;

    // Puts the dataset into edit state when AutoEdit is set and it browses.
    void Edit();

    const QList<TDataLink *> &links() const { return m_links; }

Q_SIGNALS:
    // The dataset's state changed (for windows that enable controls by it).
    void StateChanged();

private:
    friend class TDataLink;
    friend class TDataSet;
    void dataEvent(TDataEvent event, qintptr info);
    void addLink(TDataLink *link);
    void removeLink(TDataLink *link);

    TDataSet *m_dataSet = nullptr;
    bool m_autoEdit = true;
    QList<TDataLink *> m_links;
};
