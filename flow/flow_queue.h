// The queue of flow steps: the monitor appends at the back, the executer takes from the front. Slots are
// reused as steps come and go, so a warm queue moves steps without touching the heap.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One queued step: its type (see the step types in flow/executer.h), its text and a number.
struct FlowStep {
    int32_t type = 0;
    std::string text;
    double value = 0;
};

// A ring of reusable FlowStep slots, with the few operations a queue needs.
struct FlowQueue {
    std::vector<FlowStep> slots;
    size_t head = 0;
    size_t count = 0;

    bool empty() const { return count == 0; }
    size_t size() const { return count; }
    FlowStep& front() { return slots[head]; }
    const FlowStep& front() const { return slots[head]; }
    const FlowStep& operator[](size_t i) const { return slots[(head + i) % slots.size()]; }
    // Appends a step and returns its slot, whose text keeps the capacity of the step it last held.
    FlowStep& push_back(int32_t type, const std::string& text, double value);
    void pop_front();
    void clear() {
        head = 0;
        count = 0;
    }
};
