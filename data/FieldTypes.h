#pragma once

// Kinds of stored and computed values, shared by the engine's catalog, the
// filter parser and the dataset fields.
enum class TFieldType {
    String,   // text of at most Size characters
    Integer,  // 32-bit signed
    AutoInc,  // 32-bit signed, assigned by the engine on the first post
    Float,    // double precision
    Date,     // calendar date, stored as ISO text "yyyy-mm-dd"
};

inline bool isNumericType(TFieldType t)
{
    return t == TFieldType::Integer || t == TFieldType::AutoInc || t == TFieldType::Float;
}
