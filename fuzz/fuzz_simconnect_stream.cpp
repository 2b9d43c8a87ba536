// Fuzz target: the byte stream the simulator sends. The first input byte picks the receive limit
// (MaxReceiveSize) and the second the size of the pieces the bytes arrive in; the rest is the stream. The
// client cuts it into messages, and the program's dispatch handles every one (quit, the module's records,
// DRF values, anything else) over a loaded model, with a pass of the engine after each dispatch. Every
// message handed over is whole (its size field is its length) and at least a header long; a stream that
// broke the connection makes dispatch report it.
#include "fuzz/support/fuzz_support.h"
#include "simlink/client/client.h"
#include "simlink/client/simconnect.h"
#include "app/dispatch.h"

#include <algorithm>
#include <cstring>

namespace {
int handled = 0;

void Handle(const uint8_t* message, uint32_t size, void*) {
    uint32_t sizeField = 0;
    std::memcpy(&sizeField, message, sizeof sizeField);
    FuzzCheck(size >= kReceiveHeaderSize && sizeField == size, "a dispatched message is whole");
    DispatchReceived(message, size);
    ++handled;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > 256 * 1024) return -1;
    static const uint32_t kLimits[] = {kDefaultMaxReceiveSize, 64, 4096, kReceiveLimit * 2};
    const uint32_t limit = kLimits[data[0] & 3];
    const size_t chunk = 1 + data[1] * 31u;
    const size_t dispatchEvery = 1 + (data[0] >> 2);
    data += 2;
    size -= 2;

    ResetProgramState();
    LoadSmallModel();
    ClientClient* client = new ClientClient;
    client->receive.assign(kReceiveStep, 0);
    client->maxReceiveSize = limit;
    client->state = kStateOpen;
    int pass = 0;
    for (size_t at = 0, n = 0; at < size; at += chunk, ++n) {
        client->ReceiveBytes(data + at, std::min(chunk, size - at));
        FuzzCheck(client->receive.size() <= kReceiveLimit, "the receive buffer stays within 1 MiB");
        if (n % dispatchEvery == 0) {
            handled = 0;
            SimConnect_CallDispatch(client, Handle, nullptr);
            if (handled > 0) RunEnginePass(++pass * 0.02);
        }
    }
    const uint32_t status = SimConnect_CallDispatch(client, Handle, nullptr);
    FuzzCheck((status == kSimOk) == (client->Reason() == kReasonNone),
              "dispatch reports a broken connection");
    client->Disconnect(kReasonNone, 0);
    client->Release();
    return 0;
}
