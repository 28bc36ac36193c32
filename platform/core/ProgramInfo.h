#pragma once
/*
 * What every program of the directory says about itself when asked on its
 * command line: --help prints its usage, --version its name and the
 * directory's release, both on standard output. Asked before anything else
 * happens, so a window program answers without a display and changes no file.
 *
 * Plain C, as the control library's registration tool is written in C.
 */

#ifdef __cplusplus
extern "C" {
#endif

/* The release of the directory and its tools ("1.7.1"). */
const char* numora_release(void);

/*
 * When an argument before a lone "--" is --help or --version, prints the
 * answer (help: the text given, as it is) and returns the exit status: 0, or
 * 1 when standard output could not be written (said on standard error).
 * Returns -1 when neither was asked.
 */
int numora_answer_info(int argc, char** argv, const char* program, const char* help);

#ifdef __cplusplus
}
#endif
