#include "bit_boxes.h"

#include "change_marks.h"
#include "passes/pass_codec.h"

#include <QCheckBox>

namespace halvo::app {

void BitBoxes::showText(const QString &text)
{
    int bit = size() - 1;
    for (int pos = 0; bit >= 0; ++pos) {
        if (pos % 5 == 4)
            continue; // the blank between groups of four
        (*this)[bit]->setChecked(pos < text.size() && text.at(pos) == QLatin1Char('1'));
        --bit;
    }
}

QString BitBoxes::text() const
{
    unsigned v = 0;
    for (int k = 0; k < size(); ++k)
        if (m_boxes[static_cast<size_t>(k)]->isChecked())
            v |= 1u << k;
    return size() == 8 ? passes::Bit_Text_8(static_cast<quint8>(v))
                       : passes::Bit_Text_16(static_cast<quint16>(v));
}

void BitBoxes::clear()
{
    for (QCheckBox *box : m_boxes)
        box->setChecked(false);
}

unsigned BitBoxes::value(const QString &text) const
{
    return size() == 8 ? passes::Bits_From_Text_8(text).value_or(0)
                       : passes::Bits_From_Text_16(text).value_or(0);
}

void BitBoxes::mark(const QString &ours, const QString &unit, bool compare)
{
    const unsigned a = value(ours), b = value(unit);
    for (int k = 0; k < size(); ++k) {
        const bool differs = compare && ((a ^ b) >> k & 1u);
        marks::mark(m_boxes[static_cast<size_t>(k)],
                    differs
                        ? std::optional<QString>(b >> k & 1u ? QStringLiteral("on") : QStringLiteral("off"))
                        : std::nullopt);
    }
}

} // namespace halvo::app
