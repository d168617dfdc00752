#include "ParamRecord.h"

namespace qel {

namespace {

struct FieldDef {
    int offset;
    int width;
    const char *def;
};

// F1..F34: offset, width, default (F31..F34 have none: kept).
constexpr FieldDef kFields[ParameterRecord::FieldCount] = {
    {0, 1, "0"},      {1, 5, "01000"},  {6, 1, "E"},      {7, 1, "+"},      {8, 1, "0"},
    {9, 1, "H"},      {10, 2, "00"},    {12, 5, "00001"}, {17, 3, "001"},   {20, 2, "01"},
    {22, 1, "0"},     {23, 1, "0"},     {24, 1, "4"},     {25, 1, "0"},     {26, 5, "00100"},
    {31, 1, "E"},     {32, 1, "+"},     {33, 1, "0"},     {34, 1, "H"},     {35, 5, "00001"},
    {40, 1, "E"},     {41, 1, "+"},     {42, 1, "0"},     {43, 1, "H"},     {44, 1, "0"},
    {45, 5, "00001"}, {50, 1, "E"},     {51, 1, "+"},     {52, 1, "0"},     {53, 1, "H"},
    {54, 5, nullptr}, {59, 5, nullptr}, {64, 5, nullptr}, {69, 5, nullptr},
};

bool valid(int f)
{
    return f >= 1 && f <= ParameterRecord::FieldCount;
}

} // namespace

ParameterRecord::ParameterRecord() : data_(Size, ' ')
{
    SetDefaultRecord(*this);
}

int ParameterRecord::offset(int f)
{
    return valid(f) ? kFields[f - 1].offset : 0;
}

int ParameterRecord::width(int f)
{
    return valid(f) ? kFields[f - 1].width : 0;
}

QByteArray ParameterRecord::field(int f) const
{
    if (!valid(f))
        return {};
    return data_.mid(kFields[f - 1].offset, kFields[f - 1].width);
}

void ParameterRecord::setField(int f, const QByteArray &value)
{
    if (!valid(f))
        return;
    const int w = kFields[f - 1].width;
    data_.replace(kFields[f - 1].offset, w, value.leftJustified(w, ' ', true));
}

void ParameterRecord::setBytes(const QByteArray &all)
{
    data_ = all.leftJustified(Size, ' ', true);
}

void SetDefaultRecord(ParameterRecord &rec)
{
    for (int f = 1; f <= 30; ++f)
        rec.setField(f, kFields[f - 1].def);
}

} // namespace qel
