/* SPDX-License-Identifier: MIT */
/* A shared library that is no module: it lacks AppRequest. */
int NotAppRequest(int value)
{
    return value + 1;
}
