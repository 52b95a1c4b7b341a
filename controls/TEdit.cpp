#include "TEdit.h"

TEdit::TEdit(QWidget *parent) : QLineEdit(parent) {}

TEdit::~TEdit() = default;
