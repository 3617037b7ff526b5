# panelhost validate, run as a user runs it (included by CMakeLists.txt, whose
# cli_test it uses): the built module passes at the highest strictness, and
# every fixture with a planted fault is failed, naming the fault in the test
# that meets it, with the input it showed on.

# JSON checks over `doc`: the findings of the test named NAME, and the names
# of the tests that failed.
set(findings_of "[f for t in doc['tests'] if t['name'] == NAME for f in t['findings']]")
set(failed "[t['name'] for t in doc['tests'] if not t['passed']]")

cli_test(validate_passes_the_module_at_strictness_10 STATUS 0
         --json "doc['passed'] is True and doc['errors'] == 0 and doc['warnings_found'] == 0"
         --json "doc['strictness'] == 10 and len(doc['gauges']) == 8 and len(doc['tests']) == 48"
         --json "all(t['passed'] and t['inputs'] > 0 and t['calls'] > 0 for t in doc['tests'])"
         --json "[t['inputs'] for t in doc['tests'] if t['name'] == 'Direction_Finder/element 2/results'][0] > 65536"
         RUN validate ${corvalenx} --strictness 10 --format json)
set_tests_properties(cli_validate_passes_the_module_at_strictness_10 PROPERTIES TIMEOUT 300)
cli_test(validate_log_names_each_test STATUS 0
         --stdout "strictness 1, seed 7, 5 tests.*PASS  Manifold Pressure/element 2/results.*PASS  module/load and unload"
         --stdout "5 tests: 5 passed, 0 failed.*PASSED validation at strictness 1"
         RUN validate ${corvalenx} "Manifold Pressure" --strictness 1 --seed 7)
cli_test(validate_runs_the_gauges_named STATUS 0
         --json "doc['gauges'] == ['Airspeed', 'Direction_Finder']"
         --json "all(t['name'].split('/')[0] in ('Airspeed', 'Direction_Finder', 'module') for t in doc['tests'])"
         RUN validate ${corvalenx} Direction_Finder Airspeed Airspeed --strictness 1 --format json)
cli_test(validate_passes_a_fixture_whose_routines_limit_their_results STATUS 0 --stdout "6 tests: 6 passed"
         RUN validate $<TARGET_FILE:fixture_limited_routines> --strictness 3)

# validate_finds(FIXTURE TEST FAULT PATTERN [CHECK...]): the fixture fails;
# TEST has a finding of FAULT whose text and input match PATTERN; every
# planned test (6 at strictness 3) has its result.
function(validate_finds fixture test fault pattern)
    string(REPLACE "NAME" "'${test}'" findings "${findings_of}")
    cli_test(validate_finds_${fixture} STATUS 2
             --json "any(f['fault'] == '${fault}' and re.search(r'${pattern}', f['text'] + ' input: ' + f['input']) for f in ${findings})"
             --json "len(doc['tests']) == 6 and doc['passed'] is False"
             ${ARGN}
             RUN validate $<TARGET_FILE:fixture_${fixture}> --strictness 3 --timeout 1 --format json)
endfunction()

validate_finds(nan_for_infinity "Fixture/element 2/results" not-finite "returned nan.* input: 61=-?inf$"
               --json "${failed} == ['Fixture/element 2/results']")
validate_finds(result_past_axis "Fixture/element 3/results" out-of-range
               "y routine of element 3 .*returned 1[01][0-9.]*, outside its y-axis range 0 to 100 input: 390="
               --json "${failed} == ['Fixture/element 3/results']")
validate_finds(fpu_control_changed "Fixture/element 2/results" x87-control-word
               "element 2 .*left the x87 control word changed, from 0x.... to 0x..7F .precision [0-9]+-bit to 24-bit")
validate_finds(callee_saved_clobbered "Fixture/element 3/results" callee-saved-register
               "element 3 .*changed ebx.* 0x12345678 after")
validate_finds(writes_other_record "Fixture/element 2/results" memory-write
               "element 2 .* wrote into the position of element 3 .*a field the module sets")
validate_finds(hidden_state "Fixture/repeatable" not-repeatable
               "update routine of element 2 .*when the same inputs came in another order input: 61=")
validate_finds(reentrant_routine "Fixture/lifecycle" service-misuse
               "called element_list_update from inside the conversion routine of .Fixture. element 2")
# A crash or a hang ends only its own test; the tests after it still run.
validate_finds(writes_read_only_data "Fixture/element 2/results" crash
               "access violation .*: writing 0x[0-9a-f]+, in .rdata of the module, which is read-only")
validate_finds(hanging_routine "Fixture/element 2/results" hang
               "element 2 .*has not returned after 1.0 s .while edge and random inputs. input: 61="
               --json "${failed} == ['Fixture/element 2/results', 'Fixture/repeatable']")
set_tests_properties(cli_validate_finds_hanging_routine PROPERTIES TIMEOUT 60)
# Even the host's own fields of another gauge's records are not the routine's.
cli_test(validate_finds_a_write_into_another_gauge STATUS 2
         --json "any(f['fault'] == 'memory-write' and re.search('element 2 .* wrote into the previous position of element 1 .* of \"Second\", a record of another gauge', f['text']) for t in doc['tests'] if t['name'] == 'Fixture/element 2/results' for f in t['findings'])"
         RUN validate $<TARGET_FILE:fixture_writes_other_gauge> Fixture --strictness 1 --format json)
# A routine handing the host another gauge's tree.
cli_test(validate_finds_a_borrowed_tree STATUS 2
         --json "'Second/lifecycle' in ${failed} and 'Fixture/lifecycle' not in ${failed}"
         --json "any(f['fault'] == 'host-services' and 'passed element_list_update the element tree of \"Fixture\"' in f['text'] for t in doc['tests'] if t['name'] == 'Second/lifecycle' for f in t['findings'])"
         RUN validate $<TARGET_FILE:fixture_borrowed_tree> --strictness 1 --format json)

# Warnings pass unless --strict: results that hang on the caller's x87 precision.
cli_test(validate_passes_with_warnings STATUS 0
         --stdout "WARN  Fixture/caller's x87 modes.*warning, caller-modes: .*at 0x007F \\(24-bit precision\\)"
         --stdout "0 failed, 1 with warnings only.*PASSED"
         RUN validate $<TARGET_FILE:fixture_precision_dependent> --strictness 4)
cli_test(validate_strict_fails_on_warnings STATUS 2
         --junit "root.get('failures') == '1' and root.find(\".//testcase[@name=\\\"Fixture/caller's x87 modes\\\"]/failure\") is not None"
         RUN validate $<TARGET_FILE:fixture_precision_dependent> --strictness 4 --strict --format junit)

# JUnit: a testcase per test, the failure carrying the input.
cli_test(validate_junit STATUS 2
         --junit "root.get('tests') == '6' and root.get('failures') == '1' and len(root.findall('testsuite/testcase')) == 6"
         --junit "[c.get('name') for c in root.iter('testcase') if c.find('failure') is not None] == ['Fixture/element 2/results']"
         --junit "re.search('not-finite: .*returned nan.*\\n  input: 61=-?inf', root.find('.//failure').text)"
         --junit "all(float(c.get('time')) >= 0 for c in root.iter('testcase')) and float(root.find('testsuite').get('time')) >= 0"
         RUN validate $<TARGET_FILE:fixture_nan_for_infinity> --strictness 2 --format junit)

# What it refuses.
cli_test(validate_rejects_a_strictness_past_10 STATUS 1 --stderr "--strictness takes a whole number from 1 to 10, not \"11\""
         RUN validate ${corvalenx} --strictness 11)
cli_test(validate_names_an_unknown_gauge STATUS 1 --stderr "no gauge named \"Clock\" in the module; it has: \"Airspeed\""
         RUN validate ${corvalenx} Clock)
cli_test(validate_runs_nothing_of_a_module_failing_its_checks STATUS 2 --stderr "child cycle" --stdout "^$"
         RUN validate $<TARGET_FILE:fixture_child_cycle> --format json)
