/* proclist.c: tasklister's ioctl handler. Any ioctl on /dev/<devname> logs a process table at
 * info level, one line per process (pid, parent's pid, thread id, command name), walking the
 * kernel's ring of processes from the one after the caller round to the caller itself.
 * Built with the frame (../frame.c); triggered by any program that opens the node.
 */
#include <linux/fs.h>
#include <linux/kernel.h>
#include <linux/module.h>
#include <linux/rcupdate.h>
#include <linux/sched.h>

#include "compat.h"
#include "frame.h"

static void log_task(struct task_struct *task)
{
	char comm[TASK_COMM_LEN];

	get_task_comm(comm, task);
	pr_info("%d \t %d \t %d \t %s \n", task->tgid, rcu_dereference(task->real_parent)->pid,
		task->pid, comm);
}

long myIoctl(struct file *file, unsigned int command, unsigned long argument)
{
	struct task_struct *leader;
	struct task_struct *task;

	pr_info("Open My_ioctl successful \n");
	pr_info("pid \t ppid \t lwpid \t args \n\n");

	/*
	 * The ring links only the main task of each process, so a caller that is a secondary
	 * thread is not on it: start and stop at the caller's thread-group leader, which stays on
	 * the ring while any of its threads (this one included) lives. The RCU read side keeps
	 * the ring and the records it reaches valid while processes come and go elsewhere.
	 */
	rcu_read_lock();
	leader = current->group_leader;
	task = leader;
	do {
		task = next_task(task);
		log_task(task);
	} while (task != leader);
	rcu_read_unlock();
	return 0;
}

MODULE_DESCRIPTION("Logs the process table on any ioctl of /dev/<devname>");
