#include "TDataSource.h"

#include "TDataSet.h"

TDataSource::TDataSource(QObject *owner, TDataSet *dataSet) : QObject(owner)
{
    setDataSet(dataSet);
}

TDataSource::~TDataSource()
{
    setDataSet(nullptr);
    const QList<TDataLink *> links = m_links;
    for (TDataLink *l : links) {
        l->m_dataSource = nullptr;
        l->updateActive();
    }
}

void TDataSource::setDataSet(TDataSet *dataSet)
{
    if (dataSet == m_dataSet)
        return;
    if (m_dataSet)
        m_dataSet->m_dataSources.removeOne(this);
    m_dataSet = dataSet;
    if (m_dataSet) {
        m_dataSet->m_dataSources.append(this);
        m_dataSet->updateBufferCapacity();
    }
    const QList<TDataLink *> links = m_links;
    for (TDataLink *l : links)
        l->updateActive();
}

TDataSetState TDataSource::State() const
{
    return m_dataSet ? m_dataSet->State() : TDataSetState::dsInactive;
}

void TDataSource::Edit()
{
    if (m_autoEdit && m_dataSet && m_dataSet->State() == TDataSetState::dsBrowse)
        m_dataSet->Edit();
}

void TDataSource::addLink(TDataLink *link)
{
    m_links.append(link);
    if (m_dataSet)
        m_dataSet->updateBufferCapacity();
}

void TDataSource::removeLink(TDataLink *link)
{
    m_links.removeOne(link);
    if (m_dataSet)
        m_dataSet->updateBufferCapacity();
}

void TDataSource::dataEvent(TDataEvent event, qintptr info)
{
    const QList<TDataLink *> links = m_links;
    for (TDataLink *l : links)
        if (m_links.contains(l))
            l->dataEvent(event, info);
    if (event == TDataEvent::UpdateState)
        Q_EMIT StateChanged();
}
