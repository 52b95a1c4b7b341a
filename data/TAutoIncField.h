#pragma once

#include "TIntegerField.h"

// An integer key that the engine assigns when the record is first stored;
// the program never writes it.
class TAutoIncField : public TIntegerField
{
public:
    TAutoIncField(TDataSet *dataSet, const QString &fieldName) : TIntegerField(dataSet, fieldName, TFieldType::AutoInc)
    {
        setReadOnly(true);
    }
};
