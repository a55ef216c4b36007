/* frame.h: what the character-device frame (frame.c) needs from the module it is built into:
 * the ioctl handler. tasklister (tasklister/proclist.c) and dirscan (dirscan/pgdir.c) each
 * supply one; the frame does the rest.
 */
#ifndef OSF_MODULES_FRAME_H
#define OSF_MODULES_FRAME_H

struct file;

/* Called for every ioctl on /dev/<devname>; command and argument are passed through. */
long myIoctl(struct file *file, unsigned int command, unsigned long argument);

#endif
