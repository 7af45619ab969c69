/* Gives a card with mono mixer elements a two-channel pair: user controls "Master Playback
 * Volume" (2 channels, 0..100 = -100..0 dB in 1 dB steps) and "Master Playback Switch"
 * (2 channels), both at full and on. They last until the card goes.
 * Usage: ctladd [CTL] (default hw:Zorvex) */
#include <alsa/asoundlib.h>
#include <stdio.h>

static int failed(int err, const char *what)
{
    if (err < 0)
        fprintf(stderr, "ctladd: %s: %s\n", what, snd_strerror(err));
    return err < 0;
}

int main(int argc, char **argv)
{
    snd_ctl_t *ctl = NULL;
    if (failed(snd_ctl_open(&ctl, argc > 1 ? argv[1] : "hw:Zorvex", 0), "open"))
        return 1;
    snd_ctl_elem_info_t *info;
    snd_ctl_elem_id_t *id;
    snd_ctl_elem_value_t *value;
    snd_ctl_elem_info_alloca(&info);
    snd_ctl_elem_id_alloca(&id);
    snd_ctl_elem_value_alloca(&value);

    snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
    snd_ctl_elem_id_set_name(id, "Master Playback Volume");
    snd_ctl_elem_info_set_id(info, id);
    /* alsa-lib grants the set's TLV access itself; asking for it here too makes the kernel
     * refuse the add (EINVAL). */
    if (failed(snd_ctl_add_integer_elem_set(ctl, info, 1, 2, 0, 100, 1), "add volume"))
        return 1;
    /* -100.00 dB at 0, 1.00 dB per step, in hundredths of a dB */
    const unsigned int tlv[4] = {SND_CTL_TLVT_DB_SCALE, 2 * sizeof(unsigned int), (unsigned int)-10000, 100};
    if (failed(snd_ctl_elem_tlv_write(ctl, id, tlv), "dB scale"))
        return 1;
    snd_ctl_elem_value_set_id(value, id);
    snd_ctl_elem_value_set_integer(value, 0, 100);
    snd_ctl_elem_value_set_integer(value, 1, 100);
    if (failed(snd_ctl_elem_write(ctl, value), "write volume"))
        return 1;

    snd_ctl_elem_id_set_name(id, "Master Playback Switch");
    if (failed(snd_ctl_elem_add_boolean(ctl, id, 2), "add switch"))
        return 1;
    snd_ctl_elem_value_set_id(value, id);
    snd_ctl_elem_value_set_boolean(value, 0, 1);
    snd_ctl_elem_value_set_boolean(value, 1, 1);
    if (failed(snd_ctl_elem_write(ctl, value), "write switch"))
        return 1;
    snd_ctl_close(ctl);
    return 0;
}
