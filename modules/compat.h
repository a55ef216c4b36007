/* compat.h: the kernel-interface differences between 4.8, the oldest kernel these modules are
 * written for, and current kernels, kept in one place. Included by the frame (frame.c) and by
 * both ioctl handlers; nothing else in the modules tests LINUX_VERSION_CODE.
 */
#ifndef OSF_MODULES_COMPAT_H
#define OSF_MODULES_COMPAT_H

#include <linux/version.h>
#include <linux/device.h>

/* The task list (for_each_process, next_task) moved to linux/sched/signal.h in 4.11. */
#if LINUX_VERSION_CODE >= KERNEL_VERSION(4, 11, 0)
#include <linux/sched/signal.h>
#else
#include <linux/sched.h>
#endif

/* class_create() lost its owner argument in 6.4. */
#if LINUX_VERSION_CODE >= KERNEL_VERSION(6, 4, 0)
#define compat_class_create(owner, name) class_create(name)
#else
#define compat_class_create(owner, name) class_create(owner, name)
#endif

#endif
