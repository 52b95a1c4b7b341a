#include "TwwDBGrid.h"

TwwDBGrid::TwwDBGrid(QWidget *parent) : TwwCustomDBGrid(parent) {}

TwwDBGrid::~TwwDBGrid() = default;
