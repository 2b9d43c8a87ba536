// Shared set-up of the systems tests: a clean model, phrase context, pose catalogue and DRF arrays, and the
// log and DRF list written into a temporary folder.
#pragma once
#include "app/frame.h"
#include "base/log.h"
#include "poses/pose_catalogue.h"
#include "systems/drf_arrays.h"
#include "systems/phrase_context.h"
#include "systems/loader.h"
#include "systems/logic.h"
#include "systems/model.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

struct SystemsTest : ::testing::Test {
    TempFolder folder;
    std::string drfPath;
    std::string logPath;

    void SetUp() override {
        ResetLog();
        ResetFrame();
        ResetSystems();
        ResetPhraseContext();
        ResetPoseCatalogue();
        ResetDrfArrays();
        folder.Make("data/x");
        Log().log.path = logPath = folder.path + "/data/log.txt";
        Log().drf.path = drfPath = folder.path + "/data/drf.txt";
        Frame().AcfPath = folder.path + "/acf";
    }
    void TearDown() override {
        ResetLog();
        ResetFrame();
        ResetSystems();
        ResetPhraseContext();
        ResetPoseCatalogue();
        ResetDrfArrays();
    }

    // A file of the aircraft folder, written byte for byte.
    void WriteAcf(const std::string& relative, const std::string& bytes) {
        folder.Write("acf/" + relative, bytes);
    }

    // Parses the lines as one systems text and compiles them.
    void Load(const std::vector<std::string>& lines, const std::vector<std::string>& saveLines = {}) {
        ParseSystemsLines(lines, saveLines);
        CompileLogic();
    }

    static OutParameter& Param(const std::string& fullName) {
        ParamRef ref = ResolveParamRef(fullName);
        OutParameter* p = ParameterOf(ref);
        if (!p) throw std::runtime_error("no parameter " + fullName);
        return *p;
    }
    static LogicBlock& Block(const std::string& fullName, size_t k = 0) {
        return Param(fullName).logicBlocks.at(k);
    }

    // The running result of a block's conditions, evaluated as the monitor does (phrases against `heard`).
    static bool BlockHolds(LogicBlock& block, const std::string& heard = "") {
        bool running = true;
        for (Condition& c : block.conditions)
            running = c.left.kind == kRefPhrase ? EvaluatePhraseCondition(c, running, heard)
                                                : EvaluateCondition(c, running);
        return running;
    }
};
