/* pgdir.c: dirscan's ioctl handler. Any ioctl on /dev/<devname> logs the caller's page
 * directory: one line per entry in use (index, page-frame address) at the kernel's default
 * level, then the count of such entries and the lowmem and highmem lines at info level.
 * Built with the frame (../frame.c); triggered by any program that opens the node.
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

#if !defined(CONFIG_X86_32) || defined(CONFIG_X86_PAE)
#error "dirscan reads a two-level page directory: build it for 32-bit x86 without PAE"
#endif

/* Two-level paging: one page of 32-bit entries, each covering 4 MiB. */
#define DIRECTORY_ENTRIES 1024

long myIoctl(struct file *file, unsigned int command, unsigned long argument)
{
	struct mm_struct *mm = current->mm;
	unsigned long entry;
	int count = 0;
	int i;

	/* Other threads of the caller may change entries meanwhile: each is read once. */
	for (i = 0; mm && i < DIRECTORY_ENTRIES; i++) {
		entry = pgd_val(READ_ONCE(mm->pgd[i]));
		if (entry) {
			printk("PGD[%4d] : %08lx \n", i, entry & PAGE_MASK);
			count++;
		}
	}
	pr_info("count : %d \n", count);
	pr_info("lowmem : %d \n", 0);
	pr_info("highmem : %d \n", 0);
	return 0;
}

MODULE_DESCRIPTION("Logs the caller's page directory on any ioctl of /dev/<devname>");
