/* pgdir.c: dirscan's ioctl handler. Any ioctl on /dev/<devname> logs the caller's top-level
 * page table (its page global directory), whatever its size on this kernel: 1024 entries of
 * 32 bits with two-level paging (686), 4 of 64 bits with PAE (686-pae), 512 of 64 bits with
 * four- or five-level paging (amd64). One line per entry in use (index, page-frame address)
 * at the kernel's default level, then the count of such entries and the lowmem and highmem
 * lines at info level. Built with the frame (../frame.c); triggered by any program that opens
 * the node.
 *
 * The test build (make -C modules TEST=1, never installed) adds the parameter
 * flags_only=<index>, which makes that entry read as its flag bits alone, as an entry that
 * holds only flags would.
 */
#include <linux/fs.h>
#include <linux/kernel.h>
#include <linux/mm_types.h>
#include <linux/module.h>
#include <linux/sched.h>
#include <asm/page.h>
#include <asm/pgtable.h>

#include "compat.h"
#include "frame.h"

#ifdef OSF_TEST_HOOKS
static int flags_only = -1;
module_param(flags_only, int, 0);
MODULE_PARM_DESC(flags_only, "test build only: the entry to read as its flags alone");

static pgdval_t test_entry(int i, pgdval_t entry)
{
	return i == flags_only ? entry & ~PTE_PFN_MASK : entry;
}
#else
static inline pgdval_t test_entry(int i, pgdval_t entry)
{
	return entry;
}
#endif

long myIoctl(struct file *file, unsigned int command, unsigned long argument)
{
	struct mm_struct *mm = current->mm;
	pgdval_t entry;
	int count = 0;
	int i;

	/*
	 * mm->pgd is the table the processor starts its walk at, on every layout (with four-level
	 * paging on a kernel built for five, the fifth level is folded away). Other threads of the
	 * caller may change entries meanwhile: each is read once.
	 */
	for (i = 0; mm && i < PTRS_PER_PGD; i++) {
		entry = test_entry(i, pgd_val(READ_ONCE(mm->pgd[i])));
		if (entry) {
			/*
			 * The frame's address: the entry with its flags (the low 12 bits, and on
			 * 64-bit entries the high ones, no-execute among them) cleared by the
			 * kernel's own mask for this layout. At least eight hex digits: on two-level
			 * paging exactly eight, as the entries have 32 bits.
			 */
			printk("PGD[%4d] : %08llx \n", i, (unsigned long long)(entry & PTE_PFN_MASK));
			count++;
		}
	}
	pr_info("count : %d \n", count);
	/*
	 * Both lines are part of the log's fixed form, which readers of the log parse line by
	 * line; the handler computes no value for them, so both always show 0.
	 */
	pr_info("lowmem : %d \n", 0);
	pr_info("highmem : %d \n", 0);
	return 0;
}

MODULE_DESCRIPTION("Logs the caller's page directory on any ioctl of /dev/<devname>");
