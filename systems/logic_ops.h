// The arithmetic and comparisons of the logic language, shared by the evaluators of the compiled records
// and of the evaluation program so that both give the same results to the bit.
#pragma once
#include "systems/logic_types.h"

#include <cmath>
#include <cstdint>
#include <span>

// "b2i": see logic.h.
double BinaryDigitsToInteger(double accumulator);

inline bool InValueList(std::span<const int32_t> list, double v) {
    for (int32_t entry : list)
        if (v == static_cast<double>(entry)) return true;
    return false;
}

// A comparison's own result, IEEE style (NaN is never equal, greater or smaller). A value list, when the
// condition has one, replaces the right side of "==" and "!=" and is ignored by the other operators.
inline bool CompareOperands(int32_t op, double l, double r, bool hasList, std::span<const int32_t> list) {
    switch (op) {
    case kOpEqual:
        return hasList ? InValueList(list, l) : l == r;
    case kOpNotEqual:
        return hasList ? !InValueList(list, l) : !(l == r);
    case kOpGreater:
        return l > r;
    case kOpLess:
        return l < r;
    case kOpGreaterEqual:
        return l >= r;
    case kOpLessEqual:
        return l <= r;
    default:
        return false;
    }
}

// One calc token's operator applied to the accumulator and its operand.
inline double ApplyCalcOp(int32_t op, double accumulator, double operand) {
    switch (op) {
    case kCalcLoad:
        return operand;
    case kCalcAdd:
        return accumulator + operand;
    case kCalcSub:
        return accumulator - operand;
    case kCalcMul:
        return accumulator * operand;
    case kCalcDiv:
        return operand == 0 ? 0 : accumulator / operand;
    case kCalcB2i:
        return BinaryDigitsToInteger(accumulator);
    case kCalcFlr:
        return std::floor(accumulator);
    default:
        return operand;
    }
}

// Piecewise-linear value of v on the points, clamped to the first and last point's y; 0 when v falls in no
// segment (points not ascending, or v is NaN) or there are no points.
inline double InterpolateGraf(std::span<const GrafPoint> points, double v) {
    if (points.empty()) return 0;
    if (v <= points.front().x) return points.front().y;
    if (v >= points.back().x) return points.back().y;
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        const GrafPoint& a = points[i];
        const GrafPoint& b = points[i + 1];
        if (a.x <= v && v < b.x) return a.y + (b.y - a.y) * (v - a.x) / (b.x - a.x);
    }
    return 0;
}
