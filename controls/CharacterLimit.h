#pragma once

#include "FieldText.h"

#include <QValidator>
#include <algorithm>

// Holds a text box to a number of characters counted as code points, as a
// string field counts them: Qt's own maximum length counts 16-bit units and
// would cut a character outside the basic plane in half. Typing or pasting
// past the limit keeps what fits, by whole characters.
class CharacterLimit : public QValidator
{
public:
    CharacterLimit(int characters, QObject *parent) : QValidator(parent), m_characters(characters) {}

    State validate(QString &input, int &pos) const override
    {
        const qsizetype excess = FieldText::characterCount(input) - m_characters;
        if (excess <= 0)
            return Acceptable;
        // The insertion ends at the caret: drop its last characters.
        const QString before = input.left(pos);
        const qsizetype keep = FieldText::characterCount(before) - excess;
        if (keep >= 0) {
            const qsizetype cut = FieldText::unitsOfCharacters(before, keep);
            input.remove(cut, pos - cut);
            pos = int(cut);
        } else {
            input = FieldText::leftCharacters(input, m_characters);
            pos = int(std::min<qsizetype>(pos, input.size()));
        }
        return Acceptable;
    }

    int characters() const { return m_characters; }

private:
    int m_characters;
};
