// The stand-in's command line.
#include "tools/simstandin/standin.h"
#include "tools/simstandin/window.h"

#include <cstdlib>

namespace standin {

std::string UsageText() {
    return "simstandin: the simulator and its module, for trying Talvero without the simulator\n"
           "  --pipe NAME         pipe name after \\pipe\\ (default \"Microsoft Flight "
           "Simulator\\SimConnect\")\n"
           "  --no-pipe           do not listen on the pipe\n"
           "  --port N            TCP port on 127.0.0.1 (0: any free one)\n"
           "  --port6 N           TCP port on ::1 (0: any free one)\n"
           "  --publish-ports     write the ports where the client looks them up (the registry)\n"
           "  --aircraft FOLDER   aircraft folder the module answers with (default ./data/PM738)\n"
           "  --work FOLDER       the module's work folder, for the DRF answer file\n"
           "  --program FOLDER    the program's folder, whose data/drf.txt is read (default .)\n"
           "  --assign file|messages   how DRF indices are reported (default file when --work is given)\n"
           "  --scenario FILE     timed control words, runways, settings and variable changes\n"
           "  --transcript FILE   everything received, decoded\n"
           "  --pose-time S       seconds a pose takes before its acknowledgement (default 1)\n"
           "  --once              end when the first client has gone\n"
           "  --max-seconds S     end after S seconds\n"
           "  --quiet             no log lines on standard error\n"
           "  --ready-file FILE   write FILE (the listeners, one a line) once clients are taken\n"
           "  --window TITLE      open a window with this title (the cursor is moved over it once)\n"
           "  --window-size WxH   its size (default 1280x800)\n"
           "  --drop-at-request N go away when the client's request with send id N arrives (a fault)\n"
           "  --no-aircraft-answer  the module leaves the aircraft request unanswered (a fault)\n";
}

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error) {
    bool assignGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto number = [&](double& out, double lowest) {
            std::string text;
            if (!value(text)) return false;
            char* end = nullptr;
            out = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || out < lowest) {
                error = a + " needs a number, not \"" + text + "\"";
                return false;
            }
            return true;
        };
        auto port = [&](int& out) {
            double n;
            if (!number(n, 0)) return false;
            if (n > 65535 || n != static_cast<int>(n)) {
                error = a + " needs a port from 0 to 65535";
                return false;
            }
            out = static_cast<int>(n);
            return true;
        };
        bool ok = true;
        if (a == "--pipe")
            ok = value(o.pipeName);
        else if (a == "--no-pipe")
            o.pipe = false;
        else if (a == "--port")
            ok = port(o.port);
        else if (a == "--port6")
            ok = port(o.port6);
        else if (a == "--publish-ports")
            o.publishPorts = true;
        else if (a == "--aircraft")
            ok = value(o.aircraft);
        else if (a == "--work")
            ok = value(o.workFolder);
        else if (a == "--program")
            ok = value(o.programFolder);
        else if (a == "--assign") {
            std::string how;
            ok = value(how);
            if (ok && how != "file" && how != "messages") {
                error = "--assign is \"file\" or \"messages\"";
                ok = false;
            }
            o.assignByFile = how == "file";
            assignGiven = true;
        } else if (a == "--scenario")
            ok = value(o.scenarioPath);
        else if (a == "--transcript")
            ok = value(o.transcriptPath);
        else if (a == "--pose-time")
            ok = number(o.poseTime, 0);
        else if (a == "--once")
            o.once = true;
        else if (a == "--max-seconds")
            ok = number(o.maxSeconds, 0);
        else if (a == "--quiet")
            o.quiet = true;
        else if (a == "--ready-file")
            ok = value(o.readyFile);
        else if (a == "--window")
            ok = value(o.windowTitle);
        else if (a == "--no-aircraft-answer")
            o.answerAircraft = false;
        else if (a == "--drop-at-request") {
            double n;
            ok = number(n, 1);
            if (ok) o.dropAtRequest = static_cast<uint32_t>(n);
        } else if (a == "--window-size") {
            std::string size;
            ok = value(size);
            if (ok && !ParseWindowSize(size, o.windowWidth, o.windowHeight)) {
                error = "--window-size needs WIDTHxHEIGHT, not \"" + size + "\"";
                ok = false;
            }
        } else {
            error = "unknown option \"" + a + "\"";
            ok = false;
        }
        if (!ok) return false;
    }
    if (o.assignByFile && o.workFolder.empty()) {
        if (assignGiven) {
            error = "--assign file needs --work";
            return false;
        }
        o.assignByFile = false;
    }
    return true;
}

} // namespace standin
