#include "TwwCustomDBGrid.h"

#include "CharacterLimit.h"
#include "FlagScope.h"
#include "TDataSet.h"
#include "TField.h"
#include "TwwGridDataLink.h"
#include "TwwInplaceEdit.h"

#include <QApplication>
#include <QFocusEvent>

// Editing in place: the cell editor, writing its text into the field, and
// what happens when the focus leaves the grid.

bool TwwCustomDBGrid::EditorMode() const
{
    return m_editor->isVisible();
}

bool TwwCustomDBGrid::editorHasFocus() const
{
    return m_editor->isVisible() && m_editor->hasFocus();
}

void TwwCustomDBGrid::showEditor(bool selectAll)
{
    if (!editsInPlace() || !m_dataLink->Active())
        return;
    TField *f = SelectedField();
    if (!f)
        return;
    if (!m_editor->isVisible()) {
        m_editor->setFont(font());
        m_editor->setAlignment(fieldAlignment(f) | Qt::AlignVCenter);
        // A string field's size counts whole characters, not 16-bit units.
        m_editor->setMaxLength(32767);
        delete m_editor->validator();
        m_editor->setValidator(f->DataType() == TFieldType::String && f->Size() > 0
                                   ? new CharacterLimit(f->Size(), m_editor)
                                   : nullptr);
        m_editor->setText(f->Text());
        m_editor->setModified(false);
        m_dataLink->setModified(false);
        updateEditorGeometry();
        m_editor->show();
    }
    m_editor->setFocus(Qt::OtherFocusReason);
    if (selectAll)
        m_editor->selectAll();
    invalidateRow(CurrentRow());
}

void TwwCustomDBGrid::hideEditor()
{
    if (!m_editor->isVisible()) {
        m_dataLink->setModified(false);
        return;
    }
    // The focus stays in the grid, also when the editor is hidden while a
    // box has it: the window gives it back to the grid, not to the next
    // control (a dialog's OK, which the next Enter would then press).
    if (m_editor->hasFocus() || window()->focusWidget() == m_editor)
        setFocus(Qt::OtherFocusReason);
    m_editor->hide();
    m_dataLink->setModified(false);
    invalidateRow(CurrentRow());
}

void TwwCustomDBGrid::updateEditorGeometry()
{
    if (!m_editor || !m_editor->isVisible())
        return;
    const QRect r = CellRect(CurrentRow(), m_col).adjusted(0, 0, m_options.testFlag(dgColLines) ? -1 : 0,
                                                           m_options.testFlag(dgRowLines) ? -1 : 0);
    m_editor->setGeometry(r);
}

void TwwCustomDBGrid::editorTextEdited()
{
    m_dataLink->setModified(true);
}

// The first change in the editor decides whether the cell may change at all,
// and puts the dataset into edit state (an empty dataset starts a record).
bool TwwCustomDBGrid::editorChangeAllowed()
{
    if (m_dataLink->Modified())
        return true;
    if (m_readOnly || !m_dataLink->Active() || m_dataLink->ReadOnly())
        return false;
    const TField *f = SelectedField();
    if (!f || !f->CanModify() || f->ReadOnly() || m_columns.at(m_col).readOnlyFlag)
        return false;
    TDataSet *ds = DataSet();
    if (ds->IsEmpty() && ds->State() == TDataSetState::dsBrowse && !m_keyOptions.testFlag(dgAllowInsert))
        return false;
    bool editing = false;
    {
        FlagScope scope(m_selfChange);
        guard([&] { editing = m_dataLink->Edit(); });
    }
    if (!editing)
        return false;
    updateEditorGeometry();
    m_dataLink->setModified(true);
    return true;
}

// Writes the editor's text into its field. The text stays in the editor when
// it does not convert (the error goes to whoever handles the action).
void TwwCustomDBGrid::commitEdit()
{
    if (!m_dataLink->Modified() || !m_editor->isVisible())
        return;
    TField *f = SelectedField();
    if (!f)
        return;
    {
        FlagScope scope(m_selfChange);
        f->setText(m_editor->text());
    }
    m_dataLink->setModified(false);
    m_editor->setModified(false);
    invalidateRow(CurrentRow());
}

void TwwCustomDBGrid::restoreEditor()
{
    const TField *f = SelectedField();
    m_editor->setText(f ? f->Text() : QString());
    m_editor->setModified(false);
    m_editor->selectAll();
    m_dataLink->setModified(false);
}

void TwwCustomDBGrid::focusInEvent(QFocusEvent *e)
{
    QAbstractScrollArea::focusInEvent(e);
    invalidateRow(CurrentRow());
}

void TwwCustomDBGrid::focusOutEvent(QFocusEvent *e)
{
    QAbstractScrollArea::focusOutEvent(e);
    invalidateRow(CurrentRow());
    if (e->reason() == Qt::ActiveWindowFocusReason || e->reason() == Qt::PopupFocusReason)
        return;
    if (QApplication::focusWidget() == m_editor)
        return;
    focusLeft();
}

// When the focus goes to another control, a pending cell edit is written; an
// untouched new record is dropped instead with dgCancelOnExit.
void TwwCustomDBGrid::focusLeft()
{
    if (!m_dataLink->Active())
        return;
    TDataSet *ds = DataSet();
    const bool ok = guard([&] {
        if (m_options.testFlag(dgCancelOnExit) && unchangedNewRecord())
            ds->Cancel();
        else
            commitEdit();
    });
    if (ok)
        hideEditor();
    invalidateRow(CurrentRow());
}
