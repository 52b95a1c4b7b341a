#include "TwwCustomDBGrid.h"

#include "MessageDlg.h"
#include "TDataSet.h"
#include "TwwDBGridAccessible.h"
#include "TwwGridDataLink.h"
#include "TwwInplaceEdit.h"

#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

// The keyboard: which keys the grid takes before the window, and what each
// key does to the current record and column.

bool TwwCustomDBGrid::windowTakesEnter() const
{
    const auto *dialog = qobject_cast<const QDialog *>(window());
    if (!dialog)
        return false;
    const QList<QPushButton *> buttons = dialog->findChildren<QPushButton *>();
    return std::any_of(buttons.begin(), buttons.end(), [](const QPushButton *b) { return b->isDefault(); });
}

bool TwwCustomDBGrid::windowTakesEscape() const
{
    return qobject_cast<const QDialog *>(window()) != nullptr;
}

// Which keys the grid takes before the window's shortcuts and buttons: a
// row-select grid only the moving keys; a grid that edits in place also Tab
// (with dgTabs) and Enter.
bool TwwCustomDBGrid::claimsKey(const QKeyEvent *e) const
{
    switch (e->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Insert:
    case Qt::Key_Delete:
    case Qt::Key_F2:
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return !e->modifiers().testFlag(Qt::AltModifier) && m_options.testFlag(dgTabs) && editsInPlace();
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return editsInPlace();
    default:
        return false;
    }
}

bool TwwCustomDBGrid::event(QEvent *e)
{
    if (e->type() == QEvent::ShortcutOverride) {
        auto *ke = static_cast<QKeyEvent *>(e);
        if (claimsKey(ke)) {
            ke->accept();
            return true;
        }
    } else if (e->type() == QEvent::KeyPress) {
        auto *ke = static_cast<QKeyEvent *>(e);
        if ((ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab) && claimsKey(ke)) {
            keyPressEvent(ke);
            return true;
        }
    }
    return QAbstractScrollArea::event(e);
}

void TwwCustomDBGrid::keyPressEvent(QKeyEvent *e)
{
    if (!processKey(e, false))
        QAbstractScrollArea::keyPressEvent(e);
}

bool TwwCustomDBGrid::processKey(QKeyEvent *e, bool fromEditor)
{
    int key = e->key();
    const Qt::KeyboardModifiers mods = e->modifiers();
    const bool ctrl = mods.testFlag(Qt::ControlModifier);
    const bool shift = mods.testFlag(Qt::ShiftModifier);
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;

    // Keys the window's buttons take before the grid.
    if (!fromEditor) {
        if (enter && !editsInPlace() && windowTakesEnter())
            return false;
        if (key == Qt::Key_Escape && windowTakesEscape())
            return false;
    }
    if (OnKeyDown) {
        OnKeyDown(this, key, mods);
        if (key == 0)
            return true;
    }
    if (!m_dataLink->Active())
        return false;
    TDataSet *ds = DataSet();
    const bool rowSelect = m_options.testFlag(dgRowSelect);
    const bool homeEndMoveRecords = rowSelect || ds->FieldCount() == 1;

    switch (key) {
    case Qt::Key_Up:
        guard([&] { ctrl ? moveToRow(0) : keyUp(); });
        return true;
    case Qt::Key_Down:
        guard([&] { ctrl ? moveToRow(RecordRowCount() - 1) : keyDown(true); });
        return true;
    case Qt::Key_PageUp:
        guard([&] { ctrl ? moveToRow(0) : moveBy(-m_visibleRows); });
        return true;
    case Qt::Key_PageDown:
        guard([&] { ctrl ? moveToRow(RecordRowCount() - 1) : moveBy(m_visibleRows); });
        return true;
    case Qt::Key_Home:
        guard([&] { (ctrl || homeEndMoveRecords) ? ds->First() : firstColumn(); });
        return true;
    case Qt::Key_End:
        guard([&] { (ctrl || homeEndMoveRecords) ? ds->Last() : lastColumn(); });
        return true;
    case Qt::Key_Left:
        guard([&] {
            if (ctrl)
                firstColumn();
            else if (rowSelect)
                keyUp();
            else
                moveColumn(m_col - 1);
        });
        return true;
    case Qt::Key_Right:
        guard([&] {
            if (ctrl)
                lastColumn();
            else if (rowSelect)
                keyDown(true);
            else
                moveColumn(m_col + 1);
        });
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (mods.testFlag(Qt::AltModifier))
            return false;
        if (!m_options.testFlag(dgTabs) || rowSelect) {
            focusNextPrevChild(key == Qt::Key_Tab && !shift);
            return true;
        }
        guard([&] { (key == Qt::Key_Backtab || shift) ? tabBackward() : tabForward(); });
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_keyOptions.testFlag(dgEnterToTab))
            guard([&] { shift ? tabBackward() : tabForward(); });
        else if (!rowSelect && m_editor->isVisible())
            guard([&] { commitEdit(); });
        else if (!rowSelect)
            showEditor(true);
        return true;
    case Qt::Key_Escape:
        guard([&] { keyEscape(); });
        return true;
    case Qt::Key_Insert:
        if (!ctrl && !shift)
            guard([&] { keyInsert(); });
        return true;
    case Qt::Key_F2:
        showEditor(true);
        return true;
    case Qt::Key_Delete:
        if (ctrl) {
            guard([&] { keyCtrlDelete(); });
        } else if (!fromEditor && editsInPlace() && !m_readOnly) {
            showEditor(true);
            QKeyEvent copy(e->type(), e->key(), e->modifiers(), e->text());
            QCoreApplication::sendEvent(m_editor, &copy);
        }
        return true;
    default:
        break;
    }
    // A typed character opens the cell editor and goes into it.
    const QString text = e->text();
    if (!fromEditor && !text.isEmpty() && text.at(0).isPrint() && !ctrl && !mods.testFlag(Qt::AltModifier) &&
        editsInPlace()) {
        if (!m_editor->isVisible())
            showEditor(true);
        if (m_editor->isVisible()) {
            QKeyEvent copy(e->type(), e->key(), e->modifiers(), text);
            QCoreApplication::sendEvent(m_editor, &copy);
        }
        return true;
    }
    return false;
}

void TwwCustomDBGrid::moveBy(int distance)
{
    if (TDataSet *ds = DataSet(); ds && m_dataLink->Active() && distance != 0)
        ds->MoveBy(distance);
}

void TwwCustomDBGrid::keyUp()
{
    TDataSet *ds = DataSet();
    if (unchangedNewRecord() && ds->Eof())
        ds->Cancel();
    else
        ds->Prior();
}

void TwwCustomDBGrid::keyDown(bool autoAppend)
{
    TDataSet *ds = DataSet();
    if (unchangedNewRecord()) {
        if (ds->Eof())
            return;
        ds->Cancel();
        return;
    }
    ds->Next();
    if (autoAppend && ds->Eof() && ds->CanModify() && m_options.testFlag(dgEditing) &&
        m_keyOptions.testFlag(dgAllowInsert))
        ds->Append();
}

void TwwCustomDBGrid::moveColumn(int col)
{
    col = std::clamp(col, 0, int(m_columns.size()) - 1);
    if (col == m_col)
        return;
    commitEdit();
    const bool editing = m_editor->isVisible();
    invalidateRow(CurrentRow());
    m_col = col;
    // Bring the column into view.
    if (col >= m_fixedCols) {
        const int left = columnX(col);
        const int right = left + m_columns.at(col).width;
        const int fixedRight = columnX(std::min(m_fixedCols, int(m_columns.size()))) +
                               (m_fixedCols < m_columns.size() ? m_hOffset : 0);
        QScrollBar *hb = horizontalScrollBar();
        if (left < fixedRight)
            hb->setValue(hb->value() - (fixedRight - left));
        else if (right > viewport()->width())
            hb->setValue(hb->value() + std::min(right - viewport()->width(), left - fixedRight));
    }
    invalidateRow(CurrentRow());
    if (editing)
        showEditor(true);
    TwwDBGridAccessible::currentChanged(this);
}

void TwwCustomDBGrid::firstColumn()
{
    moveColumn(0);
}

void TwwCustomDBGrid::lastColumn()
{
    moveColumn(int(m_columns.size()) - 1);
}

void TwwCustomDBGrid::tabForward()
{
    for (int c = m_col + 1; c < m_columns.size(); ++c)
        if (m_columns.at(c).tabStop) {
            moveColumn(c);
            return;
        }
    // Past the last column: the next record, starting at its first column.
    commitEdit();
    keyDown(true);
    for (int c = 0; c < m_columns.size(); ++c)
        if (m_columns.at(c).tabStop) {
            moveColumn(c);
            return;
        }
}

void TwwCustomDBGrid::tabBackward()
{
    for (int c = m_col - 1; c >= 0; --c)
        if (m_columns.at(c).tabStop) {
            moveColumn(c);
            return;
        }
    commitEdit();
    keyUp();
    for (int c = int(m_columns.size()) - 1; c >= 0; --c)
        if (m_columns.at(c).tabStop) {
            moveColumn(c);
            return;
        }
}

void TwwCustomDBGrid::keyEscape()
{
    TDataSet *ds = DataSet();
    if (m_editor->isVisible() && m_dataLink->Modified()) {
        restoreEditor();
    } else if (ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert) {
        if (!ds->Modified()) {
            ds->Cancel();
        } else if (MessageDlg::MessageDlg(QStringLiteral("Discard changes to this record?"),
                                          MessageDlg::TMsgDlgType::mtConfirmation, MessageDlg::mbYes | MessageDlg::mbNo,
                                          this) == MessageDlg::TModalResult::mrYes) {
            ds->Cancel();
        }
    }
    hideEditor();
}

void TwwCustomDBGrid::keyInsert()
{
    if (m_readOnly || !m_options.testFlag(dgEditing) || !m_keyOptions.testFlag(dgAllowInsert))
        return;
    DataSet()->Insert();
}

void TwwCustomDBGrid::keyCtrlDelete()
{
    TDataSet *ds = DataSet();
    if (!m_keyOptions.testFlag(dgAllowDelete) || m_readOnly || !ds->CanModify() || !m_options.testFlag(dgEditing))
        return;
    if (!m_options.testFlag(dgConfirmDelete) ||
        MessageDlg::MessageDlg(QStringLiteral("Delete record?"), MessageDlg::TMsgDlgType::mtConfirmation,
                               MessageDlg::mbOK | MessageDlg::mbCancel, this) != MessageDlg::TModalResult::mrCancel)
        ds->Delete();
    else
        commitEdit();  // kept: what was typed stays pending in its field, where the dataset's state says it is
    hideEditor();
}
