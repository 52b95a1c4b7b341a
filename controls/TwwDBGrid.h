#pragma once

#include "TwwCustomDBGrid.h"

// The record grid as the windows place it (promoted widget in their layouts,
// configured in code after setupUi). All behaviour lives in TwwCustomDBGrid;
// this class is the name the windows use.
class TwwDBGrid : public TwwCustomDBGrid
{
    Q_OBJECT
    Q_DISABLE_COPY(TwwDBGrid)

public:
    explicit TwwDBGrid(QWidget *parent = nullptr);
    ~TwwDBGrid() override;
};
