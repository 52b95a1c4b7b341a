#include "TwwGridDataLink.h"

#include "TwwCustomDBGrid.h"

void TwwGridDataLink::ActiveChanged()
{
    m_grid->linkActive();
}

void TwwGridDataLink::DataSetChanged()
{
    m_grid->linkDataSetChanged();
}

void TwwGridDataLink::DataSetScrolled(int distance)
{
    m_grid->linkScrolled(distance);
}

void TwwGridDataLink::RecordChanged(TField *field)
{
    m_grid->linkRecordChanged(field);
}

void TwwGridDataLink::EditingChanged()
{
    m_grid->linkEditingChanged();
}

void TwwGridDataLink::LayoutChanged()
{
    m_grid->linkLayoutChanged();
}

void TwwGridDataLink::UpdateData()
{
    m_grid->linkUpdateData();
}
