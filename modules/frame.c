/* frame.c: the character-device driver frame shared by tasklister and dirscan. Loaded with
 * `insmod <module>.ko devname=<name>`, it takes one device number, a character device, a
 * device class and the node /dev/<name> (made by devtmpfs or udev), all named <name>, and
 * logs open and release; each module supplies the ioctl handler (frame.h). Unloading undoes
 * the set-up in reverse. Talks only to the kernel log and to programs opening the node.
 *
 * The test build (make -C modules TEST=1, never installed) adds the parameter
 * fail_at=<step>, which makes that registration step fail as the kernel's call would, so that
 * the test bed can reach every failure path; see fault_at().
 */
#include <linux/cdev.h>
#include <linux/device.h>
#include <linux/err.h>
#include <linux/fs.h>
#include <linux/init.h>
#include <linux/kernel.h>
#include <linux/module.h>
#include <linux/moduleparam.h>
#include <linux/namei.h>
#include <linux/slab.h>
#include <linux/string.h>

#include "compat.h"
#include "frame.h"

static char *devname;
module_param(devname, charp, 0);
MODULE_PARM_DESC(devname, "name of the device-number region, the class and the node /dev/<name>");

#ifdef OSF_TEST_HOOKS
static char *fail_at;
module_param(fail_at, charp, 0);
MODULE_PARM_DESC(fail_at, "test build only: the registration step to make fail, by its call's name");

static bool fault_at(const char *step)
{
	return fail_at && !strcmp(fail_at, step);
}
#else
/* The installed modules: no parameter, and every call below is made. */
static inline bool fault_at(const char *step)
{
	return false;
}
#endif

static dev_t mydev;
static struct cdev *my_cdev;
static struct class *mychar_class;
static struct device *mychar_device;

static int myOpen(struct inode *inode, struct file *file)
{
	pr_info("Open successful\n");
	return 0;
}

static int myRelease(struct inode *inode, struct file *file)
{
	pr_info("File released\n");
	return 0;
}

/*
 * No read, write, seek, poll or mmap: the kernel's answers for an absent operation apply.
 * A 32-bit program on a 64-bit kernel comes in through compat_ioctl; the handlers ignore the
 * argument, so they serve it as they are (a 32-bit kernel never calls it).
 */
static const struct file_operations fops = {
	.owner = THIS_MODULE,
	.open = myOpen,
	.release = myRelease,
	.unlocked_ioctl = myIoctl,
	.compat_ioctl = myIoctl,
};

/* Whether /dev already has an entry of that name (with no /dev mounted, nothing has one). */
static bool dev_has(const char *name)
{
	struct path path;
	char *node = kasprintf(GFP_KERNEL, "/dev/%s", name);
	int r;

	if (!node)
		return false;
	r = kern_path(node, 0, &path);
	kfree(node);
	if (r)
		return false;
	path_put(&path);
	return true;
}

/*
 * The region, the class and the node all need a name, and one that can be the node's file
 * name (else the load would succeed with no node): refuse any other, saying why. 0 if NAME
 * will do, else -EINVAL.
 */
static int devname_check(const char *name)
{
	if (!name || !*name) {
		pr_err("Device name missing: load with devname=<name>\n");
		return -EINVAL;
	}
	if (strlen(name) > NAME_MAX) {
		pr_err("Device name too long: at most 255 bytes\n");
		return -EINVAL;
	}
	/* "." and ".." name folders, and a "/" would put the node into a folder of /dev. */
	if (!strcmp(name, ".") || !strcmp(name, "..")) {
		pr_err("Device name invalid: . and .. name folders\n");
		return -EINVAL;
	}
	if (strchr(name, '/')) {
		pr_err("Device name invalid: no / in a file name\n");
		return -EINVAL;
	}
	return 0;
}

/* The character device over the region mydev: 0, or -1 with nothing of it left. */
static int add_cdev(void)
{
	my_cdev = fault_at("cdev_alloc") ? NULL : cdev_alloc();
	if (!my_cdev) {
		pr_info("cdev_alloc failed \n");
		return -1;
	}
	/*
	 * The object belongs to its kobject, whose last reference frees it: ours (dropped by
	 * cdev_del() or kobject_put()), or an open node's, or a release the kernel puts off. So
	 * the module never frees it itself.
	 */
	my_cdev->ops = &fops;
	my_cdev->owner = THIS_MODULE;
	if (fault_at("cdev_add") || cdev_add(my_cdev, mydev, 1)) {
		pr_err("cdev_add failed \n");
		kobject_put(&my_cdev->kobj);
		return -1;
	}
	return 0;
}

static int __init myInit(void)
{
	int r;
	int err = -ENODEV;

	r = devname_check(devname);
	if (r)
		return r;

	pr_info("Initializing character device\n");
	r = fault_at("alloc_chrdev_region") ? -EBUSY : alloc_chrdev_region(&mydev, 0, 1, devname);
	if (r < 0) {
		pr_info("Device number allocation failed: %d\n", r);
		return -ENODEV;
	}
	pr_info("Major number allocated = %d\n", (int)MAJOR(mydev));

	if (add_cdev())
		goto out_unregister_region;

	mychar_class = fault_at("class_create") ? ERR_PTR(-ENOMEM) :
		       compat_class_create(THIS_MODULE, devname);
	if (IS_ERR(mychar_class)) {
		pr_err("class_create() failed \n");
		goto out_del_cdev;
	}

	/*
	 * A name /dev already has would get no node of its own. Looked at only now, so that the
	 * other module's class of the same name is still met as the class clash it is.
	 */
	if (dev_has(devname)) {
		pr_err("Device name taken: /dev/%s exists\n", devname);
		err = -EINVAL;
		goto out_destroy_class;
	}

	mychar_device = fault_at("device_create") ? ERR_PTR(-ENOMEM) :
			device_create(mychar_class, NULL, mydev, NULL, "%s", devname);
	if (IS_ERR(mychar_device)) {
		pr_err("device_create() failed \n");
		goto out_destroy_class;
	}
	return 0;

out_destroy_class:
	class_destroy(mychar_class);
out_del_cdev:
	cdev_del(my_cdev);
out_unregister_region:
	unregister_chrdev_region(mydev, 1);
	return err;
}

static void __exit myExit(void)
{
	pr_info("Exiting the character driver \n");
	device_destroy(mychar_class, mydev);
	class_destroy(mychar_class);
	cdev_del(my_cdev);
	unregister_chrdev_region(mydev, 1);
}

module_init(myInit);
module_exit(myExit);

MODULE_LICENSE("Dual BSD/GPL");
