#include "TFieldDataLink.h"

#include "TDataSet.h"
#include "TField.h"

TFieldDataLink::TFieldDataLink() = default;

TFieldDataLink::~TFieldDataLink() = default;

void TFieldDataLink::setFieldName(const QString &name)
{
    if (name == m_fieldName)
        return;
    m_fieldName = name;
    updateField();
}

void TFieldDataLink::setEditsKeyField(bool on)
{
    if (on == m_editsKeyField)
        return;
    m_editsKeyField = on;
    updateEditing();
}

TField *TFieldDataLink::EditField() const
{
    if (!m_field)
        return nullptr;
    if (m_editsKeyField && m_field->FieldKind() == TFieldKind::fkLookup)
        return m_field->DataSet() ? m_field->DataSet()->FindField(m_field->KeyFields()) : nullptr;
    return m_field;
}

bool TFieldDataLink::CanModify() const
{
    const TField *f = EditField();
    return !ReadOnly() && f && f->CanModify();
}

bool TFieldDataLink::Edit()
{
    if (CanModify())
        TDataLink::Edit();
    return m_fieldEditing;
}

void TFieldDataLink::Reset()
{
    m_modified = false;
    if (OnDataChange)
        OnDataChange();
}

// The field is found again whenever the dataset opens, closes or lays its
// fields out anew; a closed dataset has none.
void TFieldDataLink::updateField()
{
    TField *field = nullptr;
    if (Active() && !m_fieldName.isEmpty())
        field = DataSet()->FindField(m_fieldName);
    m_field = field;
    updateEditing();
    if (OnActiveChange)
        OnActiveChange();
    Reset();
}

void TFieldDataLink::updateEditing()
{
    const bool editing = TDataLink::Editing() && CanModify();
    if (editing == m_fieldEditing)
        return;
    m_fieldEditing = editing;
    if (OnEditingChange)
        OnEditingChange();
}

void TFieldDataLink::ActiveChanged()
{
    updateField();
}

void TFieldDataLink::LayoutChanged()
{
    updateField();
}

void TFieldDataLink::DataSetChanged()
{
    Reset();
}

void TFieldDataLink::RecordChanged(TField *field)
{
    if (!field || field == m_field || field == EditField())
        Reset();
}

void TFieldDataLink::EditingChanged()
{
    updateEditing();
}

void TFieldDataLink::UpdateData()
{
    if (!m_modified || !m_field)
        return;
    if (OnUpdateData)
        OnUpdateData();
    m_modified = false;
}
