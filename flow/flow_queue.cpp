// The flow step ring.
#include "flow/flow_queue.h"

FlowStep& FlowQueue::push_back(int32_t type, const std::string& text, double value) {
    if (count == slots.size()) {
        // Full: grow, laying the steps out from slot 0 again so the ring stays in order.
        std::vector<FlowStep> grown(slots.size() < 8 ? 16 : slots.size() * 2);
        for (size_t i = 0; i < count; ++i) grown[i] = std::move(slots[(head + i) % slots.size()]);
        slots = std::move(grown);
        head = 0;
    }
    FlowStep& slot = slots[(head + count) % slots.size()];
    slot.type = type;
    slot.text.assign(text);
    slot.value = value;
    ++count;
    return slot;
}

void FlowQueue::pop_front() {
    if (count == 0) return;
    head = (head + 1) % slots.size();
    --count;
    if (count == 0) head = 0;
}
