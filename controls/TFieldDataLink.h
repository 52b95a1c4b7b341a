#pragma once

#include "TDataLink.h"

#include <QString>
#include <functional>

class TField;

// The subscription of a control that shows one field of the current record
// (a bound text box, a bound lookup box). It finds the field by name
// whenever the dataset opens or its field list changes, keeps the control's
// editing flag (the dataset is in edit or insert state and the field can be
// modified) and its modified flag (the control holds text not yet written),
// and tells the control through the callbacks below.
class TFieldDataLink : public TDataLink
{
    Q_DISABLE_COPY(TFieldDataLink)

public:
    TFieldDataLink();
    ~TFieldDataLink() override;

    const QString &FieldName() const { return m_fieldName; }
    void setFieldName(const QString &name);
    // The bound field; null while the dataset is closed or has no such field.
    TField *Field() const { return m_field; }

    // A lookup box shows a lookup field but writes its key field: with this
    // set, a lookup field's key field (KeyFields) is the one that must be
    // modifiable, the one EditField() returns, and the one whose changes
    // reach the control as its own.
    void setEditsKeyField(bool on);
    // The field the control writes: the bound field, or its key field.
    TField *EditField() const;
    // The field can be written by the control (its dataset permitting).
    bool CanModify() const;

    // The dataset is in edit or insert state and the field can be modified.
    bool Editing() const { return m_fieldEditing; }
    // Asks the data source to edit when the field can be modified. Returns
    // whether the control may now write (Editing()). May throw what the
    // dataset's edit raises.
    bool Edit();

    bool Modified() const { return m_modified; }
    void setModified() { m_modified = true; }
    // Makes the control show what the field holds (and clears Modified).
    void Reset();

    // Called when the control must show the field's value anew (record
    // moved, reloaded, posted, cancelled, its field changed); Modified is
    // already cleared.
    std::function<void()> OnDataChange;
    // Called when Editing() changes.
    std::function<void()> OnEditingChange;
    // The commit request: write the control's text into the field (throws
    // EDatabaseError when it does not convert). Called only while Modified;
    // Modified is cleared when it returns normally.
    std::function<void()> OnUpdateData;
    // Called when the field was looked up again (opened, closed, relaid).
    std::function<void()> OnActiveChange;

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void RecordChanged(TField *field) override;
    void EditingChanged() override;
    void LayoutChanged() override;
    void UpdateData() override;

private:
    void updateField();
    void updateEditing();

    QString m_fieldName;
    TField *m_field = nullptr;
    bool m_editsKeyField = false;
    bool m_fieldEditing = false;
    bool m_modified = false;
};
