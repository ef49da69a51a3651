#pragma once

// Counts a waiting handler on the stack (a click or a tick that yields) for
// as long as it runs. None starts past `maxDepth` or once the program is
// ending: the handler then returns at once.
class WaitingHandler
{
public:
    WaitingHandler(int &depth, int maxDepth, bool ending) : m_depth(depth), m_entered(!ending && depth < maxDepth)
    {
        if (m_entered)
            ++m_depth;
    }
    ~WaitingHandler()
    {
        if (m_entered)
            --m_depth;
    }
    WaitingHandler(const WaitingHandler &) = delete;
    WaitingHandler &operator=(const WaitingHandler &) = delete;
    explicit operator bool() const { return m_entered; }

private:
    int &m_depth;
    bool m_entered;
};
