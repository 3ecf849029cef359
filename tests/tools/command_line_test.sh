#!/usr/bin/env bash
# The velmo tool as users of other command-line tools expect it: run's trace on standard output,
# standard input and arguments, diagnostics as FILE:LINE lines with the chain of calls, the shared
# option rules, the interactive prompt fed through a pipe, inspect's verdict on a non-application.
# Usage: command_line_test.sh VELMO [RUNNER-WORDS...]   (the emulator's command for the Windows build)
set -u
velmo=$1
runner=("${@:2}")
source "$(dirname "$0")/checks.sh"
cd "$work"
v() { "${runner[@]}" "$velmo" "$@"; }
# Output with CR LF turned into LF, so that one expectation serves both builds.
lf() { tr -d '\r'; }
if [ ${#runner[@]} -gt 0 ]; then eol=$'\r\n'; else eol=$'\n'; fi
# has FILE TEXT: FILE holds the line TEXT exactly.
has() { lf < "$1" | grep -qxF -- "$2"; }

# ---- run: trace output, standard input, arguments, stack ----
v run -e 'trace("hi"); trace("there");' > out 2> err
check "run prints trace lines on standard output, ending as the system's text lines do" \
    test "$(cat out)" = "hi${eol%$'\n'}"$'\n'"there${eol%$'\n'}"
check "a clean run writes nothing on standard error" test ! -s err
v run --quiet -e 'trace("hi");' > out
check "--quiet silences the trace" test ! -s out
v run --trace trace.txt -e 'trace("to file");' > out
check "--trace PATH writes CR LF lines to the file and nothing to standard output" \
    bash -c "test ! -s out && test \"\$(od -An -c trace.txt | tr -s ' ')\" = ' t o f i l e \r \n'"
v run --trace=eq.txt -e 'trace("x");' > /dev/null
check "--trace=PATH works as --trace PATH does" has eq.txt x
printf 'trace("from stdin");\n' | v run > out
check "run with no script reads standard input when it is not a terminal" has out "from stdin"
printf 'trace(argv[0], "+", argv[1]);\n' | v run - one > out
check "run - reads standard input and passes the arguments after it" has out "<stdin>+one"
printf 'trace("bare");\n' | v > out
check "velmo alone with piped input runs the script" has out bare
printf 'trace(argv.length, " ", argv[0], " ", argv[2]);\n' > args.qvs
v run args.qvs a "b c" > out
check "arguments after the script reach it as argv" has out "3 args.qvs b c"
v run -e 'trace(argv.length);' x y > out
check "with -e every operand is an argument" has out 3
printf 'function d(n) { if (n == 0) return 0; return 1 + d(n - 1); }\ntrace(d(10000));\n' > deep.qvs
v run deep.qvs > out 2> err
check "the default stack allows recursion 10,000 deep" has out 10000
v run --stack 4096 deep.qvs > out 2> err
check "--stack sets the value stack (a small one overflows)" has err "deep.qvs:1: runtime error: stack overflow"
v run --stack lots deep.qvs 2> err
check "a bad --stack value is a usage error" test $? -eq 64

# ---- diagnostics ----
printf 'x = 1;\ny = ;\n' > bad.qvs
v run bad.qvs > out 2> err
status=$?
check "a compile error exits 2" test $status -eq 2
check "a compile error is FILE:LINE: error:, lines from 1" bash -c "lf() { tr -d '\r'; }; lf < err | grep -q '^bad.qvs:2: error: '"
printf 'function f(n) { return g(n); }\nfunction g(n) { throw "bad " + n; }\nf(3);\n' > chain.qvs
v run chain.qvs > out 2> err
status=$?
check "an uncaught throw exits 1" test $status -eq 1
check "an uncaught throw names its place and value" has err "chain.qvs:2: uncaught exception: bad 3"
check "the chain of calls follows, innermost first" \
    test "$(lf < err | tail -n 3 | tr '\n' '|')" = "  at g (chain.qvs:2)|  at f (chain.qvs:1)|  at <main> (chain.qvs:3)|"
v run -e 'throw 1;' 2> err
check "-e text is named <eval>" has err "<eval>:1: uncaught exception: 1"
printf 'a = 1;\n\nthrow "late";\n' | v run 2> err
check "standard input is named <stdin>" has err "<stdin>:3: uncaught exception: late"
printf 'x = 1\ny = 2;\n' > semi.qvs
v parse --warn-semicolons semi.qvs > /dev/null 2> err
check "warnings are FILE:LINE: warning:" bash -c "tr -d '\r' < err | grep -q '^semi.qvs:1: warning: '"
v run missing.qvs 2> err
status=$?
check "a script that cannot be opened exits 2 with the system's reason" \
    bash -c "test $status -eq 2 && tr -d '\r' < err | grep -q '^velmo: cannot open missing.qvs: ..*'"

# ---- options shared by every command ----
for command in run repl compile disasm parse pack inspect play; do
    v "$command" --help > out 2> err
    check "velmo $command --help prints its usage on standard output and exits 0" \
        bash -c "test $? -eq 0 && test ! -s err && tr -d '\r' < out | grep -q '^usage: velmo $command'"
done
v run --foo 2> err
status=$?
check "an unknown option is named, status 64" bash -c "test $status -eq 64 && tr -d '\r' < err | grep -qxF \"velmo: run: unknown option '--foo'\""
v compile 2> err
check "a missing operand is a usage error" test $? -eq 64
v --help > out
for word in pack inspect play compile run repl parse disasm --movie-driver --verbose --trace --quiet --stack --result --listing --debug --runtime; do
    check "velmo --help lists $word" grep -q -- "$word" out
done
# A command's usage line starts at the margin; everything under it (summary lines included) is
# indented, so the list reads by command.
check "velmo --help indents everything under each command" \
    bash -c "tr -d '\r' < out | sed -n '/^velmo run/,\$p' | grep -v '^\$' | grep -v '^velmo ' | grep -qv '^ ' && exit 1 || exit 0"
printf 'trace("dash");\n' > ./-dash.qvs
v run -- -dash.qvs > out
check "-- ends the options" has out dash
printf 'trace("compiled");\n' > ok.qvs
v compile ok.qvs -o - > module.qvc
check "compile -o - writes the module to standard output" bash -c "head -c 4 module.qvc | grep -q QX1b"
v run module.qvc > out
check "the module written to standard output runs" has out compiled
v compile --listing=listing.txt ok.qvs -o ok.qvc
check "--listing=FILE works as --listing FILE does" test -s listing.txt
v compile ok.qvs -o no-such-folder/ok.qvc 2> err
status=$?
check "a module that cannot be written exits 2 with the system's reason" \
    bash -c "test $status -eq 2 && tr -d '\r' < err | grep -q '^velmo: cannot write no-such-folder/ok.qvc: ..*'"

# ---- the prompt through a pipe ----
printf '%s\n' 'x = 1 + 2' '"a\"b"' 'function sq(n) {' '  return n * n;' '}' 'sq(x)' 'throw "oops"' 'x' \
    '1 + \' '2' '.help' 'var quiet = 5;' '.exit' 'trace("never")' | v repl > out 2> err
check "the prompt prints each entry's value" test "$(lf < out | head -n 3 | tr '\n' '|')" = '3|"a\"b"|9|'
check "an error is printed with its session line and the prompt goes on" has err "<stdin>:7: uncaught exception: oops"
check "globals persist from entry to entry" bash -c "tr -d '\r' < out | sed -n 4p | grep -qx 3"
check "a line ending in a backslash continues the entry" bash -c "tr -d '\r' < out | sed -n 5p | grep -qx 3"
check ".help explains the prompt" grep -q '.exit' out
check "undefined values print nothing and .exit ends the session" bash -c "! grep -q never out && ! grep -q undefined out"
# A slash that starts a regular expression does not open a bracket, a division does not start one.
printf '%s\n' '"a(b".replace(/[(]/, "")' 'var half = 8 / 2; half' | v repl > out 2> err
check "a regular expression with a bracket in it completes its entry" test "$(lf < out | tr '\n' '|')" = '"ab"|4|'

# ---- inspect ----
printf 'plain text\n' > notes.txt
v inspect notes.txt > out 2> err
status=$?
check "inspect of a file that is no application exits 1 and says why" \
    bash -c "test $status -eq 1 && tr -d '\r' < err | grep -q 'notes.txt: not a PE image'"

summary
