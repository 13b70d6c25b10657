#pragma once

#include <QString>

#include <vector>

class QCheckBox;

namespace halvo::app {

// A row of check boxes standing for the bits of an 8- or 16-bit value shown as bit
// text ("0000 0011"): box k is bit k.
class BitBoxes
{
public:
    explicit BitBoxes(int bits) : m_boxes(static_cast<size_t>(bits), nullptr) {}
    QCheckBox *&operator[](int k) { return m_boxes[static_cast<size_t>(k)]; }
    int size() const { return static_cast<int>(m_boxes.size()); }
    // Each "1" checks the box of the bit its position stands for; every other
    // character clears it.
    void showText(const QString &text);
    QString text() const;
    void clear();
    // Marks each box whose own bit differs between ours and the unit's bit text.
    void mark(const QString &ours, const QString &unit, bool compare);

private:
    unsigned value(const QString &text) const;

    std::vector<QCheckBox *> m_boxes;
};

} // namespace halvo::app
