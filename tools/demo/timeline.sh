#!/usr/bin/env bash
# Turns the stand-in's log and the first officer's log, as they grow, into a readable timeline.
sed -u -n \
    -e 's/\r$//' \
    -e 's/^simstandin \([0-9.]*\): scenario line [0-9]*: captain-press \(.*\)/captain       "\2"/p' \
    -e 's/^simstandin \([0-9.]*\): scenario line [0-9]*: captain-release.*//' \
    -e 's/^simstandin \([0-9.]*\): scenario line [0-9]*: \(foname\|username\|runways\|realmode\|volume\|rate\|voice\|capspeech\) \(.*\)/module        \2 \3/p' \
    -e 's/^simstandin \([0-9.]*\): scenario line [0-9]*: quit.*/simulator     quits/p' \
    -e 's/^simstandin [0-9.]*: scenario line [0-9]*: set \(.*\) \([-0-9.]*\)$/aircraft      \1 = \2/p' \
    -e 's/^recResult = \(.*\)/heard         "\1"/p' \
    -e 's/^Values heard in "\(.*\)": \(.*\)/value heard   \2 in "\1"/p' \
    -e 's/^RecResult = any/heard         (any answer)/p' \
    -e 's/^Recognition Init Failure/recogniser    could not start: the captain is not heard/p' \
    -e 's/^Recognition:* \(.*\)/recogniser    \1/p' \
    -e 's/^---> SPEECH: \(.*\)/first officer "\1"/p' \
    -e 's/^MessageE2W:\(.*(>.*\)/code sent     \1/p' \
    -e 's/^MessageE2W:\(\(work\|rest\)_.*\)/pose          \1/p' \
    -e 's/^Expected answers: \(.*\)/expects       \1/p' \
    -e 's/^simstandin [0-9.]*: variable \(.*\) (DrfE2W)/value written \1/p' \
    -e 's/^EXIT: \(.*\)/program       exit: \1/p'
