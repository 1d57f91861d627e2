# The suite's installed programs, one line each. Adding a program takes its
# line here and its manual page source man/<name>.1.scd. A line whose target
# this build does not have (a program not written yet) is skipped by the
# install, the manual pages and the tests.
#
#   train_program(<target> <exit status of its usage text, as the shell shows it>
#                 [OPTIONS <options it accepts that its usage text does not show>])
#       a program, installed into bin/
#   train_companion(<target> <usage status>)
#       a companion stand-in, installed into libexec/wayside-train-tools/,
#       never on the default PATH (it would shadow the site's own programs)
#   train_script(<name> <source> <usage status> [OPTIONS ...])
#       a script of this source tree installed into bin/ as <name>
#
# The usage status is what the program returns when run without arguments;
# the packaging tests run every installed program that way.

train_program(edgemill 255)
train_program(Trimwell 255 OPTIONS /?)
train_program(Wipezero 255)
train_program(Weighpost 255)
train_program(Idsweep 255)
train_program(trainsim 1 OPTIONS --help -h)
train_program(heatalign 255)
train_program(heatlink 255)
train_program(Combinar 0 OPTIONS /?)
train_program(Weighoff 0)
train_program(Weighrun 0)
train_program(traindump 2 OPTIONS --help)

train_companion(TAGPAIR 2)
train_companion(CONSMEND 2)

train_script(train-site-day scripts/site-day.sh 2 OPTIONS --help -h)
