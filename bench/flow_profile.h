// A generated aircraft profile for the flow benchmarks: about 10,000 out parameters, most of them
// ordinary systems logic (conditions, calcs with CBLOCK, graphs, read and write links), plus the flows a
// real profile has: altitude call-out events, spoken commands with poses and code, challenge-and-response
// checklists on sequential devices, and menu entries.
#pragma once
#include <string>
#include <vector>

struct GeneratedFlowProfile {
    std::string systemsText;
    int parameters = 0;
    int events = 0;     // altitude call-outs at every 1000 ft: EVENTS.ALT.CALL<k>
    int commands = 0;   // phrases "command <k>"
    int checklists = 0; // phrases "checklist <k>", answered by "check <j>" for each item
    int checklistItems = 0;
    std::vector<std::string> poses; // pose names the profile uses
};

inline GeneratedFlowProfile GenerateFlowProfile(int parameterCount) {
    GeneratedFlowProfile g;
    g.events = 20;
    g.commands = 100;
    g.checklists = 20;
    g.checklistItems = 9;
    g.poses = {"work_point", "rest_idle"};
    std::string& t = g.systemsText;
    auto n = [](long v) { return std::to_string(v); };

    t += "sys=EVENTS\ndev=ALT\nout=ALTITUDE,double,,0,,,A:INDICATED ALTITUDE,new,,,,0\n";
    ++g.parameters;
    for (int k = 0; k < g.events; ++k) {
        std::string self = "[EVENTS.ALT.CALL" + n(k) + "]";
        t += "out=CALL" + n(k) + ",int,,0,,,,,,,,0\nlogic:\n[EVENTS.ALT.ALTITUDE]>" + n(1000L * (k + 1)) +
             "\n" + self + "==0\nexecute=0," + n(k + 1) +
             " thousand,0\ncalc=1\nlogic:\n[EVENTS.ALT.ALTITUDE]<" + n(1000L * (k + 1) - 500) + "\ncalc=0\n";
        ++g.parameters;
    }

    t += "sys=COMMANDS\n";
    for (int k = 0; k < g.commands; ++k) {
        std::string dev = "CMD" + n(k);
        t += "dev=" + dev + "\nout=DO,int,,0,,,,,L:TVO_CMD" + n(k % 50) +
             ",new,,0\nlogic:\ninstring=command " + n(k) + "\nexecute=1,Command " + n(k) + " done#Done " +
             n(k) + "#Roger " + n(k) + ",0\nexecute=2,work_point,1\nexecute=8,[COMMANDS." + dev +
             ".DO] (>L:TVO_ACK),0\ncalc=1\n";
        ++g.parameters;
    }

    t += "sys=CHECKLIST\n";
    for (int k = 0; k < g.checklists; ++k) {
        t += "devstack=CL" + n(k) + "\nout=TRIGGER,int,,0,,,,,,,,0\nlogic:\ninstring=checklist " + n(k) +
             "\nexecute=1,Checklist " + n(k) + ". Item one?,0\n";
        ++g.parameters;
        for (int j = 1; j <= g.checklistItems; ++j) {
            bool last = j == g.checklistItems;
            t += "out=ITEM" + n(j) + ",int,,0,,,,,,,,0\nlogic:\ninstring=check " + n(j) +
                 "\nexecute=" + (last ? "0,Checklist " + n(k) + " complete" : "1,Item " + n(j + 1) + "?") +
                 ",0\n";
            ++g.parameters;
        }
    }

    t += "sys=MENUS\n";
    for (int k = 0; k < 10; ++k) {
        t += "dev=MENU" + n(k) + "\nout=ENTRIES,int,,0,,,,,,,,0\nlogic:\nexecute=9,checklist " + n(k) +
             ",0\nexecute=9,command " + n(k) + ",0\n";
        ++g.parameters;
    }

    // Ordinary systems logic: ten parameters per device, each reading its neighbours.
    int remaining = parameterCount - g.parameters;
    for (int i = 0; i < remaining; ++i) {
        int sys = i / 1000, dev = (i / 10) % 100, par = i % 10;
        if (i % 1000 == 0) t += "sys=SYS" + n(sys) + "\n";
        if (i % 10 == 0) t += "dev=D" + n(dev) + "\n";
        std::string base = "SYS" + n(sys) + ".D" + n(dev) + ".P";
        std::string prev = base + n(par == 0 ? 9 : par - 1);
        std::string next = base + n(par == 9 ? 0 : par + 1);
        std::string in = i % 4 == 0 ? "A:VAR " + n(i % 400) + ",new" : ",";
        std::string out = i % 7 == 0 ? "L:OUT" + n(i % 400) + ",new" : ",";
        t += "out=P" + n(par) + ",double,,0,-1000,1000," + in + "," + out + ",,0\n";
        t += "logic:\n[" + prev + "]>" + n(i % 50) + "\n||\n[" + next + "]<=" + n(i % 30) + "\ncalc=[" +
             prev + "]*[0.5]+[1]\ncalc=[CBLOCK0]/[2]\ngraf=0,0\ngraf=100,50\n";
        ++g.parameters;
    }
    return g;
}
