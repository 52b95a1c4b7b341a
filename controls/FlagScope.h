#pragma once

#include <QtGlobal>

// Sets a flag for the length of a scope, also when an exception leaves it.
class FlagScope
{
public:
    explicit FlagScope(bool &flag) : m_flag(flag), m_old(flag) { m_flag = true; }
    ~FlagScope() { m_flag = m_old; }
    Q_DISABLE_COPY(FlagScope)

private:
    bool &m_flag;
    bool m_old;
};
