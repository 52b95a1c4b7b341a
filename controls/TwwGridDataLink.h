#pragma once

#include "TDataLink.h"

#include <QList>

class TField;
class TwwCustomDBGrid;

// A record grid's subscription to its data source: it passes the dataset's
// notifications to the grid, holds the fields shown (in display order) and
// the pending-edit flag, set while the cell editor holds text that has not
// been written into its field.
class TwwGridDataLink : public TDataLink
{
    Q_DISABLE_COPY(TwwGridDataLink)

public:
    explicit TwwGridDataLink(TwwCustomDBGrid *grid) : m_grid(grid) {}

    const QList<TField *> &Fields() const { return m_fields; }
    void setFields(const QList<TField *> &fields) { m_fields = fields; }

    bool Modified() const { return m_modified; }
    void setModified(bool modified) { m_modified = modified; }

    // Whether the commit request in progress is this link's own.
    bool InUpdate() const { return Updating(); }

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void RecordChanged(TField *field) override;
    void EditingChanged() override;
    void LayoutChanged() override;
    void UpdateData() override;

private:
    TwwCustomDBGrid *m_grid;
    QList<TField *> m_fields;
    bool m_modified = false;
};
