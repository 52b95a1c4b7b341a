#pragma once

#include "TwwGridPaintOptions.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QFlags>
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>

class TDataSet;
class TDataSource;
class TField;
class TwwGridDataLink;
class TwwInplaceEdit;

enum TwwDBGridOption {
    dgEditing = 0x0001,
    dgTitles = 0x0002,
    dgIndicator = 0x0004,
    dgColumnResize = 0x0008,
    dgColLines = 0x0010,
    dgRowLines = 0x0020,
    dgTabs = 0x0040,
    dgRowSelect = 0x0080,
    dgAlwaysShowSelection = 0x0100,
    dgConfirmDelete = 0x0200,
    dgCancelOnExit = 0x0400,
    dgWordWrap = 0x0800,
};
Q_DECLARE_FLAGS(TwwDBGridOptions, TwwDBGridOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TwwDBGridOptions)

enum TwwDBGridKeyOption {
    dgEnterToTab = 0x1,
    dgAllowDelete = 0x2,
    dgAllowInsert = 0x4,
};
Q_DECLARE_FLAGS(TwwDBGridKeyOptions, TwwDBGridKeyOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TwwDBGridKeyOptions)

// The record grid: the records of one dataset as rows and its visible fields
// as columns, one row marked as the dataset's current record. It reads the
// dataset only through its data link (a window of as many records as it
// shows) and the dataset's operations; it paints itself, edits a cell in
// place through TwwInplaceEdit, and answers keys, clicks, drags, wheel notches
// and double-clicks.
//
// An error raised by the dataset during a key or mouse action abandons the
// action and is shown in the application's standard error box; the grid stays
// where it was.
class TwwCustomDBGrid : public QAbstractScrollArea
{
    Q_OBJECT
    Q_DISABLE_COPY(TwwCustomDBGrid)

public:
    static constexpr TwwDBGridOptions DefaultOptions =
        TwwDBGridOptions(dgEditing | dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                         dgConfirmDelete | dgCancelOnExit | dgWordWrap);
    static constexpr TwwDBGridKeyOptions DefaultKeyOptions = TwwDBGridKeyOptions(dgAllowDelete | dgAllowInsert);
    // Width of the indicator column in pixels.
    static constexpr int IndicatorWidth = 11;

    explicit TwwCustomDBGrid(QWidget *parent = nullptr);
    ~TwwCustomDBGrid() override;

    // ---- settings ----

    TDataSource *DataSource() const;
    void setDataSource(TDataSource *source);
    TDataSet *DataSet() const;

    // The column list: one line per column, tab-separated fields "name,
    // width, title[, read-only flag T[, group]]". Applied to the dataset's
    // fields on every activation of the link.
    const QStringList &Selected() const { return m_selected; }
    void setSelected(const QStringList &lines);

    TwwDBGridOptions Options() const { return m_options; }
    void setOptions(TwwDBGridOptions options);
    TwwDBGridKeyOptions KeyOptions() const { return m_keyOptions; }
    void setKeyOptions(TwwDBGridKeyOptions options) { m_keyOptions = options; }

    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);

    // The data font is the widget's font().
    QFont TitleFont() const { return m_titleFont; }
    void setTitleFont(const QFont &font);
    QColor Color() const { return m_color; }
    void setColor(const QColor &color);
    QColor TitleColor() const { return m_titleColor; }
    void setTitleColor(const QColor &color);
    // Horizontal alignment of the titles: Qt::AlignLeft, AlignRight or AlignHCenter.
    Qt::Alignment TitleAlignment() const { return m_titleAlignment; }
    void setTitleAlignment(Qt::Alignment alignment);
    int TitleLines() const { return m_titleLines; }
    void setTitleLines(int lines);
    bool TitleButtons() const { return m_titleButtons; }
    void setTitleButtons(bool buttons) { m_titleButtons = buttons; }
    // Data columns frozen at the left while scrolling sideways.
    int FixedCols() const { return m_fixedCols; }
    void setFixedCols(int cols);
    bool ShowHorzScrollBar() const { return m_showHorzScrollBar; }
    void setShowHorzScrollBar(bool show);
    bool ShowVertScrollBar() const { return m_showVertScrollBar; }
    void setShowVertScrollBar(bool show);
    int RowHeightPercent() const { return m_rowHeightPercent; }
    void setRowHeightPercent(int percent);
    TwwGridPaintOptions &PaintOptions() { return m_paintOptions; }
    const TwwGridPaintOptions &PaintOptions() const { return m_paintOptions; }

    // Raised once per double-click, with the grid as sender.
    std::function<void(QObject *Sender)> OnDblClick;
    // A window's key handler, run before the grid's own; setting Key to 0
    // consumes the key.
    std::function<void(QObject *Sender, int &Key, Qt::KeyboardModifiers Shift)> OnKeyDown;

    // ---- state, for windows, tests and assistive technology ----

    TwwGridDataLink *DataLink() const { return m_dataLink.get(); }
    TwwInplaceEdit *InplaceEditor() const { return m_editor; }
    bool EditorMode() const;

    // Data columns (the indicator not counted); at least one.
    int ColumnCount() const { return int(m_columns.size()); }
    // The field of data column `col`; null for the empty column.
    TField *ColumnField(int col) const;
    QString ColumnTitle(int col) const;
    int ColumnWidth(int col) const;
    // The current data column.
    int SelectedIndex() const { return m_col; }
    void setSelectedIndex(int col);
    TField *SelectedField() const { return ColumnField(m_col); }

    // Data rows that fit in the grid (a partly visible last row counted).
    int VisibleRowCount() const { return m_visibleRows; }
    // Data rows that hold a record now (one blank row for an empty dataset
    // counts as none).
    int RecordRowCount() const;
    // The row (0-based, among the data rows) of the current record.
    int CurrentRow() const;
    // The display text of a data cell; empty for a row without a record.
    QString CellText(int row, int col) const;
    // The text a data cell draws: its display text, except that a number or
    // a date too wide for the cell shows a row of '#', never a part of it.
    // Whenever a cell does not show its whole display text, its tooltip does.
    QString ShownText(int row, int col) const;
    // Where cells and titles are, in viewport coordinates.
    QRect CellRect(int row, int col) const;
    QRect TitleRect(int col) const;
    int RowHeight() const { return m_rowHeight; }
    int TitleHeight() const;

protected:
    bool event(QEvent *e) override;
    bool viewportEvent(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent *e) override;

private:
    friend class TwwGridDataLink;
    friend class TwwInplaceEdit;

    struct Column
    {
        TField *field = nullptr;
        int width = 64;
        bool tabStop = true;
        bool readOnlyFlag = false;  // the column list's flag "T"
    };

    // Link notifications (TwwCustomDBGrid.cpp; the scroll in ...Scrolling.cpp).
    void linkActive();
    void linkDataSetChanged();
    void linkScrolled(int distance);
    void linkRecordChanged(TField *field);
    void linkEditingChanged();
    void linkLayoutChanged();
    void linkUpdateData();

    // Layout (TwwCustomDBGrid.cpp; the scroll bars in ...Scrolling.cpp).
    void applySelected();
    void rebuildColumns();
    void updateMetrics();
    void updateBufferCount();
    void updateScrollBars();
    void updateRowOffset();
    int dataLeft() const;       // x of the first data column, before horizontal scrolling
    int columnX(int col) const; // x of a data column in the viewport
    int columnAt(int x) const;  // -1 when none, -2 for the indicator
    int rowAt(int y) const;     // -1 for the title row, -2 below the rows
    int rowTop(int row) const;  // y of a data row in the viewport
    int resizeBoundaryAt(int x) const;  // data column whose right edge is at x, or -1
    bool lineReadOnly(const TField *field) const;
    int zeroWidth() const;

    // Painting (TwwCustomDBGridPaint.cpp).
    // How a field's values line up in its cells and in the cell editor.
    static Qt::Alignment fieldAlignment(const TField *f);
    // Where a data cell's text goes: inside its lines, 2 pixels in.
    QRect cellTextRect(int row, int col) const;
    // What a cell of field f draws of `text` in `area` (see ShownText).
    QString shownText(const TField *f, const QString &text, const QRect &area) const;
    bool showsWhole(const TField *f, const QString &text, const QRect &area) const;
    void paintTitles(QPainter &p, const QRect &clip);
    void paintRow(QPainter &p, int row);
    void drawIndicator(QPainter &p, const QRect &r, int row);
    void invalidateRow(int row);
    void invalidateIndicator();

    // Actions: moves and keys (TwwCustomDBGridKeys.cpp), the scroll bar
    // (...Scrolling.cpp), the mouse (...Mouse.cpp), the shared checks
    // (TwwCustomDBGrid.cpp).
    bool editsInPlace() const;
    bool canEditCell() const;
    void moveBy(int distance);
    void keyUp();
    void keyDown(bool autoAppend = true);
    void tabForward();
    void tabBackward();
    void keyEscape();
    void keyInsert();
    void keyCtrlDelete();
    void moveColumn(int col);
    void firstColumn();
    void lastColumn();
    void verticalAction(int action);
    // Runs a key's action; returns false when the key is not the grid's.
    bool processKey(QKeyEvent *e, bool fromEditor);
    void thumbDropped();
    void moveToRow(int row);
    bool guard(const std::function<void()> &action);
    bool claimsKey(const QKeyEvent *e) const;
    bool unchangedNewRecord() const;

    // The cell editor and the focus (TwwCustomDBGridEditing.cpp).
    void showEditor(bool selectAll = true);
    void hideEditor();
    void updateEditorGeometry();
    void editorTextEdited();
    // Writes a pending edit into its field; throws when the text does not convert.
    void commitEdit();
    void restoreEditor();
    bool editorChangeAllowed();
    // The focus left the grid and its editor for another control of the window.
    void focusLeft();
    bool editorHasFocus() const;
    bool showsSelection() const;
    bool windowTakesEnter() const;
    bool windowTakesEscape() const;

    std::unique_ptr<TwwGridDataLink> m_dataLink;
    TwwInplaceEdit *m_editor = nullptr;
    QList<Column> m_columns;

    QStringList m_selected;
    TwwDBGridOptions m_options = DefaultOptions;
    TwwDBGridKeyOptions m_keyOptions = DefaultKeyOptions;
    bool m_readOnly = false;
    QFont m_titleFont;
    QColor m_color;
    QColor m_titleColor;
    Qt::Alignment m_titleAlignment = Qt::AlignLeft;
    int m_titleLines = 1;
    bool m_titleButtons = false;
    int m_fixedCols = 0;
    bool m_showHorzScrollBar = true;
    bool m_showVertScrollBar = true;
    int m_rowHeightPercent = 100;
    TwwGridPaintOptions m_paintOptions;

    int m_col = 0;
    int m_rowHeight = 16;
    int m_visibleRows = 1;
    int m_hOffset = 0;
    int m_rowOffset = 0;  // pixels of the top data row hidden under the titles
    bool m_settingScrollBars = false;
    bool m_scrollBarsStale = false;  // the data changed while the grid was hidden

    // Mouse drags on the titles.
    enum class Drag { None, Resize, Move };
    Drag m_drag = Drag::None;
    int m_dragCol = -1;
    int m_dragStartX = 0;
    int m_dragStartWidth = 0;
    int m_markRow = -1;         // the row whose indicator and highlight are drawn
    bool m_selfChange = false;  // the grid itself is changing the dataset
    int m_wheelDelta = 0;       // wheel rotation not yet turned into whole notches
};
