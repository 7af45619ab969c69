#include "TestDoubles.h"

namespace platform {

void VirtualClock::sleepMicroseconds(std::uint32_t microseconds)
{
    std::lock_guard lock(m_mutex);
    m_pauses.push_back(microseconds);
    m_elapsed += std::chrono::microseconds(microseconds);
}

std::vector<std::uint32_t> VirtualClock::pauses() const
{
    std::lock_guard lock(m_mutex);
    return m_pauses;
}

std::chrono::microseconds VirtualClock::elapsed() const
{
    std::lock_guard lock(m_mutex);
    return m_elapsed;
}

void VirtualClock::clear()
{
    std::lock_guard lock(m_mutex);
    m_pauses.clear();
    m_elapsed = {};
}

} // namespace platform

bool RecordingScriptRunner::execute(const QString &source, QString *errorInfo)
{
    std::lock_guard lock(m_mutex);
    m_scripts.push_back(source);
    if (!m_succeed && errorInfo)
        *errorInfo = QStringLiteral("script failed");
    return m_succeed;
}

std::vector<QString> RecordingScriptRunner::scripts() const
{
    std::lock_guard lock(m_mutex);
    return m_scripts;
}
